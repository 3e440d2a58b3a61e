# Each test under Xvfb has a display number of its own: two `xvfb-run -a`
# started at the same moment can take the same free number, and one of them
# then fails to reach its server. The trees' suites run one after another.
set(NOVEL_DISPLAY_HOT_KEY 181)
set(NOVEL_DISPLAY_END_TO_END 182)
set(NOVEL_DISPLAY_RESUME 183)
set(NOVEL_DISPLAY_GEOMETRY 184)
set(NOVEL_DISPLAY_DOWNLOAD 185)

# Tests of the Qt windows (offscreen) and of the X11 hot key (under Xvfb).
find_package(Qt6 REQUIRED COMPONENTS Widgets Test)
find_package(X11 REQUIRED)

novel_add_test(windows_test
  SOURCES windows_test.cpp
  LIBS windows Qt6::Test
  PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen)

novel_add_test(reader_settings_test SOURCES reader_settings_test.cpp LIBS windows)

novel_add_test(reader_controller_test
  SOURCES reader_controller_test.cpp
  LIBS windows Qt6::Test
  PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen)

# The download window at the site's address, in the site namespace.
novel_add_site_test(download_window_test
  SOURCES download_window_test.cpp
  LIBS windows Qt6::Test
  PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen)

# A reading through the real chapter pipeline from a loopback HTTPS server.
novel_add_test(reader_reading_test
  SOURCES reader_reading_test.cpp
  LIBS windows fixture_site Qt6::Test
  PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen)

# The hot key needs a real X server: each run gets a fresh Xvfb.
add_executable(hot_key_test hot_key_test.cpp)
target_link_libraries(hot_key_test PRIVATE project_options GTest::gtest hot_key X11::X11)
add_test(NAME hot_key_test COMMAND xvfb-run -n ${NOVEL_DISPLAY_HOT_KEY} $<TARGET_FILE:hot_key_test>)
set_tests_properties(hot_key_test PROPERTIES TIMEOUT 120)

# The real program driven like a user, in the namespace where the site's
# host name is this machine; skipped (77) where the namespace cannot be made.
add_test(NAME end_to_end
  COMMAND bash ${PROJECT_SOURCE_DIR}/tests/support/in_site_namespace.sh
    xvfb-run -n ${NOVEL_DISPLAY_END_TO_END} bash ${CMAKE_CURRENT_SOURCE_DIR}/end_to_end.sh
    $<TARGET_FILE:novel_reader> $<TARGET_FILE:serve_fixture_site>
    ${CMAKE_CURRENT_BINARY_DIR}/end_to_end)
# Alone, so that a click is timed against the program and not against other tests.
set_tests_properties(end_to_end PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 120 RUN_SERIAL TRUE)

# Reading on after a restart: the real program closed as its close button
# would (close_window), started again, and paged with Down.
add_executable(close_window close_window.cpp)
target_link_libraries(close_window PRIVATE project_options X11::X11)
add_test(NAME resume_end_to_end
  COMMAND bash ${PROJECT_SOURCE_DIR}/tests/support/in_site_namespace.sh
    xvfb-run -n ${NOVEL_DISPLAY_RESUME} bash ${CMAKE_CURRENT_SOURCE_DIR}/resume_end_to_end.sh
    $<TARGET_FILE:novel_reader> $<TARGET_FILE:serve_fixture_site> $<TARGET_FILE:close_window>
    ${CMAKE_CURRENT_BINARY_DIR}/resume_end_to_end)
set_tests_properties(resume_end_to_end PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 120
  ENVIRONMENT "LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_SOURCE_DIR}/x11_session_leaks.supp")

novel_add_test(job_test
  SOURCES job_test.cpp
  LIBS windows Qt6::Test
  PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen)

# The reader on a library file of each test's own.
novel_add_test(reader_library_test
  SOURCES reader_library_test.cpp
  LIBS windows fixture_site Qt6::Test
  PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen)

# Frames need a window manager: a fresh Xvfb for each run, openbox started by the test.
add_executable(window_geometry_test window_geometry_test.cpp)
target_link_libraries(window_geometry_test PRIVATE project_options GTest::gtest windows Qt6::Test)
add_test(NAME window_geometry_test
  COMMAND xvfb-run -n ${NOVEL_DISPLAY_GEOMETRY} -s "-screen 0 1280x800x24"
    $<TARGET_FILE:window_geometry_test>)
set_tests_properties(window_geometry_test PROPERTIES TIMEOUT 120
  ENVIRONMENT "QT_QPA_PLATFORM=xcb;LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_SOURCE_DIR}/x11_session_leaks.supp")

novel_add_test(bookshelf_test
  SOURCES bookshelf_test.cpp
  LIBS windows fixture_site Qt6::Test
  PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen)

# The reading view's text and look, decided without a display.
novel_add_test(reading_view_test SOURCES reading_view_test.cpp LIBS windows)

# The reading view, its settings and switches, and one reader per user.
novel_add_test(reader_comfort_test
  SOURCES reader_comfort_test.cpp
  LIBS windows Qt6::Test
  PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen)
