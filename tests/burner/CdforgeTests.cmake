# The burner window driven as a user: the list, CD images, the data-CD settings and a burn to the image recorder.
tavrel_test(cdforge_window_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/CdforgeWindowTest.cpp ${PROJECT_SOURCE_DIR}/tests/api/ApiTestMain.cpp
          ${CDFORGE_RESOURCES} ${BURNER_PROGRESS_RESOURCES}
  LIBRARIES cdforge_window
  LOCKS settings_section
  PROPERTIES FIXTURES_REQUIRED burner_job_inputs)
target_compile_definitions(cdforge_window_tests PRIVATE "BURN_INPUTS=L\"${BURN_INPUTS_WINE}\"")
# The windows' help pages are read from the help file beside the test program.
add_dependencies(cdforge_window_tests cdforge_help)
add_test(NAME cdforge_help_file COMMAND ${CMAKE_CURRENT_LIST_DIR}/check-help.sh ${CDFORGE_HELP})
