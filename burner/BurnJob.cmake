# The burn job and the image disc master it records through when no disc is burnt.
add_library(burner_job STATIC
  ${CMAKE_CURRENT_LIST_DIR}/BurnJob.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ImageDiscMaster.cpp
  ${CMAKE_CURRENT_LIST_DIR}/JolietImage.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PropertySet.cpp
)
target_compile_options(burner_job PRIVATE ${TAVREL_WARNINGS})
target_include_directories(burner_job PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(burner_job PUBLIC burner_redbook burner_iso tavcore oleaut32 ole32 uuid shell32 advapi32)
