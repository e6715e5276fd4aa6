# The Red Book destination and the audio image recorder; the image is read back with the virtual drive's parser.
tavrel_test(burner_redbook_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/RedBookDestTest.cpp ${CMAKE_CURRENT_LIST_DIR}/AudioImageTest.cpp
          ${PROJECT_SOURCE_DIR}/tests/api/ApiTestMain.cpp
  LIBRARIES burner_redbook vcdrive_parts
  LOCKS settings_section)
