# Flags every target of ours shares, kept on one INTERFACE target instead of
# the global CMAKE_CXX_FLAGS so that third-party code is not affected.
add_library(project_options INTERFACE)
target_compile_features(project_options INTERFACE cxx_std_20)
set(CMAKE_CXX_EXTENSIONS OFF)
target_compile_options(project_options INTERFACE
  -Wall -Wextra -Wpedantic -Wold-style-cast -Wnon-virtual-dtor -Wshadow
  # Options structs are filled with designated initializers that name only
  # what they set; the members they leave out have defaults on purpose.
  -Wno-missing-field-initializers)
if(NOVEL_WARNINGS_AS_ERRORS)
  target_compile_options(project_options INTERFACE -Werror)
endif()
if(NOVEL_SANITIZE)
  target_compile_options(project_options INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(project_options INTERFACE -fsanitize=address,undefined)
endif()
if(NOVEL_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "NOVEL_FUZZ needs clang: -DCMAKE_CXX_COMPILER=clang++")
  endif()
  # Coverage hooks in every library of ours; only the fuzz targets link the fuzzer itself.
  target_compile_options(project_options INTERFACE -fsanitize=fuzzer-no-link)
endif()

# One library target per layer: novel_add_layer(name SOURCES ... DEPENDS ...)
function(novel_add_layer name)
  cmake_parse_arguments(PARSE_ARGV 1 LAYER "" "" "SOURCES;DEPENDS")
  add_library(${name} STATIC ${LAYER_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC project_options ${LAYER_DEPENDS})
endfunction()

# The hardening Debian builds its own packages with: checked string and memory
# functions (they need the optimiser) and relocations made read-only at start.
target_compile_definitions(project_options INTERFACE
  $<$<AND:$<NOT:$<CONFIG:Debug>>,$<NOT:$<BOOL:${NOVEL_SANITIZE}>>>:_FORTIFY_SOURCE=2>)
target_link_options(project_options INTERFACE -Wl,-z,relro,-z,now)
