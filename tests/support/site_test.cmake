# novel_add_site_test(name SOURCES ... LIBS ...): a test executable that runs
# inside a private network namespace in which the site's host name is
# 127.0.0.1, so the program fetches its real addresses from a server the test
# starts on port 443. Reported as skipped where the namespace cannot be made.
set(NOVEL_SITE_NAMESPACE_RUNNER ${CMAKE_CURRENT_LIST_DIR}/in_site_namespace.sh)

function(novel_add_site_test name)
  cmake_parse_arguments(PARSE_ARGV 1 SITE_TEST "" "" "SOURCES;LIBS;PROPERTIES")
  add_executable(${name} ${SITE_TEST_SOURCES})
  target_link_libraries(${name} PRIVATE project_options GTest::gtest GTest::gtest_main
    fixture_site ${SITE_TEST_LIBS})
  # One CTest test for the whole executable: every case shares the namespace.
  add_test(NAME ${name}
    COMMAND bash ${NOVEL_SITE_NAMESPACE_RUNNER} $<TARGET_FILE:${name}>)
  set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE 77 ${SITE_TEST_PROPERTIES})
endfunction()
