# The Qt windows: the only code that knows about widgets.
find_package(Qt6 REQUIRED COMPONENTS Widgets Concurrent Network)

novel_add_layer(windows
  SOURCES
    gbk_qstring.cpp
    job.cpp
    library_opening.cpp
    control_builders.cpp
    content_box.cpp
    reader_settings.cpp
    window_places.cpp
    reader_window.cpp
    reader_controller.cpp
    download_window.cpp
    download_controller.cpp
    download_endings.cpp
    bookshelf_window.cpp
    bookshelf_controller.cpp
    program_windows.cpp
    real_seams.cpp
    reading_view.cpp
    reading_look.cpp
    reading_settings_dialog.cpp
    single_instance.cpp
    resources/windows_resources.qrc
  DEPENDS update download library reading_history chapter hot_key Qt6::Widgets Qt6::Concurrent Qt6::Network)
set_target_properties(windows PROPERTIES AUTOMOC ON AUTORCC ON)

add_executable(novel_reader main.cpp)
target_link_libraries(novel_reader PRIVATE windows)
