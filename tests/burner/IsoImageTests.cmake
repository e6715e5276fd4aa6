# Data-disc images: written by the Windows test into a fresh folder, then read by Linux tools.
set(BURNER_ISO_OUT ${CMAKE_CURRENT_BINARY_DIR}/iso-out)
add_test(NAME burner_iso_folder COMMAND ${CMAKE_COMMAND} -E rm -rf ${BURNER_ISO_OUT})
set_tests_properties(burner_iso_folder PROPERTIES FIXTURES_SETUP burner_iso_folder)
tavrel_test(burner_iso_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/IsoImageTest.cpp
  LIBRARIES burner_iso GTest::gtest_main
  PROPERTIES FIXTURES_REQUIRED burner_iso_folder FIXTURES_SETUP burner_iso_images
             ENVIRONMENT "TAVREL_ISO_OUT=Z:${BURNER_ISO_OUT}")
add_test(NAME burner_iso_read_by_linux COMMAND ${CMAKE_CURRENT_LIST_DIR}/check-iso.sh ${BURNER_ISO_OUT})
set_tests_properties(burner_iso_read_by_linux PROPERTIES FIXTURES_REQUIRED "burner_iso_folder;burner_iso_images"
                                                         TIMEOUT 120)
