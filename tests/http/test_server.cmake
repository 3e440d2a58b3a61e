# The loopback server the network tests and the HTTP benchmark talk to.
# Included from both places; defined once.
if(NOT TARGET http_test_server)
  find_package(OpenSSL REQUIRED)
  find_package(Threads REQUIRED)
  pkg_check_modules(CPP_HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)
  add_library(http_test_server STATIC
    ${CMAKE_CURRENT_LIST_DIR}/recording_server.cpp
    ${CMAKE_CURRENT_LIST_DIR}/test_certificate.cpp)
  target_include_directories(http_test_server PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(http_test_server
    PUBLIC project_options
    PRIVATE PkgConfig::CPP_HTTPLIB OpenSSL::SSL OpenSSL::Crypto Threads::Threads)
endif()
