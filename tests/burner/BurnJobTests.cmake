# The burn job's audio-CD path recorded through the image disc master, read back with the virtual drive's parser.
set(BURN_INPUTS ${CMAKE_CURRENT_BINARY_DIR}/burn-inputs)
tavrel_test(burner_job_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/BurnJobTest.cpp ${PROJECT_SOURCE_DIR}/tests/api/ApiTestMain.cpp
  LIBRARIES burner_job vcdrive_parts
  LOCKS settings_section
  PROPERTIES FIXTURES_REQUIRED burner_job_inputs TIMEOUT 300)
# Wine shows the Linux root as drive Z:.
string(REPLACE "/" "\\\\" BURN_INPUTS_WINE "Z:${BURN_INPUTS}")
target_compile_definitions(burner_job_tests PRIVATE "BURN_INPUTS=L\"${BURN_INPUTS_WINE}\"")
add_test(NAME burner_job_inputs COMMAND ${CMAKE_CURRENT_LIST_DIR}/make-burn-inputs.sh ${BURN_INPUTS})
set_tests_properties(burner_job_inputs PROPERTIES FIXTURES_SETUP burner_job_inputs)
