# The Red Book part of the burner: the CD-audio conversion destination, the IMAPI v1 declarations and the
# audio image recorder.
add_library(burner_redbook STATIC
  ${CMAKE_CURRENT_LIST_DIR}/RedBookDest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AudioImage.cpp
)
target_compile_options(burner_redbook PRIVATE ${TAVREL_WARNINGS})
target_include_directories(burner_redbook PUBLIC ${CMAKE_CURRENT_LIST_DIR} ${PROJECT_SOURCE_DIR}/include
                                                 ${PROJECT_SOURCE_DIR}/engine/core)
target_link_libraries(burner_redbook PUBLIC tavcore msacm32 winmm ole32 uuid)
