# CD images: round trips, files written by hand, and bad input. The check script reads what the tests wrote.
set(BURNER_CDIMAGE_OUT ${CMAKE_CURRENT_BINARY_DIR}/cdimage-out)
add_test(NAME burner_cdimage_folder COMMAND ${CMAKE_COMMAND} -E rm -rf ${BURNER_CDIMAGE_OUT})
set_tests_properties(burner_cdimage_folder PROPERTIES FIXTURES_SETUP burner_cdimage_folder)
tavrel_test(burner_cdimage_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/CdImageFileTest.cpp ${PROJECT_SOURCE_DIR}/tests/api/ApiTestMain.cpp
  LIBRARIES burner_cdimage tavcore
  PROPERTIES FIXTURES_REQUIRED burner_cdimage_folder FIXTURES_SETUP burner_cdimage_files
             ENVIRONMENT "TAVREL_CDIMAGE_OUT=Z:${BURNER_CDIMAGE_OUT}")
add_test(NAME burner_cdimage_read_by_linux COMMAND ${CMAKE_CURRENT_LIST_DIR}/check-cdimage.sh ${BURNER_CDIMAGE_OUT})
set_tests_properties(burner_cdimage_read_by_linux PROPERTIES FIXTURES_REQUIRED "burner_cdimage_folder;burner_cdimage_files"
                                                             TIMEOUT 120)
