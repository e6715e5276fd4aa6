# The burn progress window; programs showing it link the library and add BURNER_PROGRESS_RESOURCES to their sources.
add_library(burner_progress STATIC ${CMAKE_CURRENT_LIST_DIR}/BurnProgress.cpp)
target_compile_options(burner_progress PRIVATE ${TAVREL_WARNINGS})
target_include_directories(burner_progress PUBLIC ${CMAKE_CURRENT_LIST_DIR} ${PROJECT_SOURCE_DIR}/include)
target_link_libraries(burner_progress PUBLIC burner_job tavcore comctl32 user32 gdi32 uuid)
set(BURNER_PROGRESS_RESOURCES ${CMAKE_CURRENT_LIST_DIR}/BurnProgress.rc CACHE INTERNAL "")
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/BurnProgress.rc
  PROPERTIES OBJECT_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/BurnProgressResource.h)
