# The burn progress window driven as a user and as the burn job and the disc master report into it.
tavrel_test(burner_progress_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/BurnProgressTest.cpp ${PROJECT_SOURCE_DIR}/tests/api/ApiTestMain.cpp
          ${BURNER_PROGRESS_RESOURCES}
  LIBRARIES burner_progress
  LOCKS settings_section)
