# The Qt windows: the only code that knows about widgets.
find_package(Qt6 REQUIRED COMPONENTS Widgets)

novel_add_layer(windows
  SOURCES
    gbk_qstring.cpp
    control_builders.cpp
    content_box.cpp
    reader_window.cpp
    download_window.cpp
    qt_window_operations.cpp
    program_services.cpp
    resources/windows_resources.qrc
  DEPENDS reader_handlers download_handlers hot_key Qt6::Widgets)
set_target_properties(windows PROPERTIES AUTOMOC ON AUTORCC ON)

add_executable(novel_reader main.cpp)
target_link_libraries(novel_reader PRIVATE windows)
