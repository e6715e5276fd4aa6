# The burn job recorded through the image disc master: the audio CD read back with the virtual drive's parser and
# ripped back through the virtual drive, the MP3 data CD written into a fresh folder and read back by Linux tools.
set(BURN_INPUTS ${CMAKE_CURRENT_BINARY_DIR}/burn-inputs)
set(BURN_OUT ${CMAKE_CURRENT_BINARY_DIR}/burn-out)
tavrel_test(burner_job_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/BurnJobTest.cpp ${PROJECT_SOURCE_DIR}/tests/api/ApiTestMain.cpp
  LIBRARIES burner_job vcdrive_parts
  LOCKS "settings_section;audiocd_section"
  PROPERTIES FIXTURES_REQUIRED burner_job_inputs FIXTURES_SETUP burner_job_images TIMEOUT 300
             ENVIRONMENT "TAVREL_BURN_OUT=Z:${BURN_OUT}")
# The round trip rips the image back through the virtual drive's ASPI library.
target_include_directories(burner_job_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests/cd ${PROJECT_SOURCE_DIR}/engine/core)
add_dependencies(burner_job_tests wnaspi32)
# Wine shows the Linux root as drive Z:.
string(REPLACE "/" "\\\\" BURN_INPUTS_WINE "Z:${BURN_INPUTS}")
target_compile_definitions(burner_job_tests PRIVATE "BURN_INPUTS=L\"${BURN_INPUTS_WINE}\"")
add_test(NAME burner_job_inputs
         COMMAND sh -c "rm -rf '${BURN_OUT}' && '${CMAKE_CURRENT_LIST_DIR}/make-burn-inputs.sh' '${BURN_INPUTS}'")
set_tests_properties(burner_job_inputs PROPERTIES FIXTURES_SETUP burner_job_inputs)
add_test(NAME burner_job_data_cd_read_by_linux COMMAND ${CMAKE_CURRENT_LIST_DIR}/check-burn-iso.sh ${BURN_OUT})
set_tests_properties(burner_job_data_cd_read_by_linux
                     PROPERTIES FIXTURES_REQUIRED "burner_job_inputs;burner_job_images" TIMEOUT 120)

# The Windows Media data CD on the double of the platform's Windows Media writer, which replaces the writer of the
# engine linked into the test program itself.
tavrel_test(burner_wma_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/WmaDataCdTest.cpp ${PROJECT_SOURCE_DIR}/tests/api/ApiTestMain.cpp
          ${PROJECT_SOURCE_DIR}/tests/formats/wma/FakeWMSdk.cpp ${PROJECT_SOURCE_DIR}/tests/formats/wav/WavFiles.cpp
          ${TAVENGINE_RESOURCES}
  LIBRARIES burner_job tavengine
  LOCKS "settings_section;wma_defaults")
target_include_directories(burner_wma_tests PRIVATE ${PROJECT_SOURCE_DIR}/engine ${PROJECT_SOURCE_DIR}/engine/core
                                                    ${PROJECT_SOURCE_DIR}/tests/formats/wma
                                                    ${PROJECT_SOURCE_DIR}/tests/formats/wav)
