# The burner program: its window code as a library (for the tests) and cdforge.exe.
add_library(cdforge_window STATIC
  ${CMAKE_CURRENT_LIST_DIR}/BurnCDDlg.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CuesheetDlg.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ISOSettingsDlg.cpp
)
target_compile_options(cdforge_window PRIVATE ${TAVREL_WARNINGS})
target_include_directories(cdforge_window PUBLIC ${CMAKE_CURRENT_LIST_DIR} ${PROJECT_SOURCE_DIR}/include)
target_link_libraries(cdforge_window PUBLIC burner_job burner_progress burner_cdimage tavcore comctl32 comdlg32
                                            shell32 shlwapi ole32 user32 gdi32)
# The windows' resources; programs showing them add CDFORGE_RESOURCES to their sources.
set(CDFORGE_RESOURCES ${CMAKE_CURRENT_LIST_DIR}/cdforge.rc CACHE INTERNAL "")
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/cdforge.rc
  PROPERTIES OBJECT_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/CdforgeResource.h)

add_executable(cdforge WIN32 ${CMAKE_CURRENT_LIST_DIR}/cdforge_main.cpp ${CDFORGE_RESOURCES}
                             ${BURNER_PROGRESS_RESOURCES})
target_compile_options(cdforge PRIVATE ${TAVREL_WARNINGS})
target_link_options(cdforge PRIVATE -municode)
target_link_libraries(cdforge PRIVATE cdforge_window burner_job burner_progress burner_cdimage)

# The help file next to the program, compiled from burner/help by the Free Pascal project's CHM compiler (it
# writes the .chm beside the project file, so the project is compiled from a copy in the build tree).
find_program(TAVREL_CHMCMD NAMES chmcmd chmcmd-3.2.2 REQUIRED)
file(GLOB CDFORGE_HELP_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/help/*)
set(CDFORGE_HELP ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/cdforge.chm CACHE INTERNAL "")
set(help_work ${CMAKE_CURRENT_BINARY_DIR}/help)
add_custom_command(OUTPUT ${CDFORGE_HELP}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${help_work}
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${CMAKE_CURRENT_LIST_DIR}/help ${help_work}
  COMMAND ${CMAKE_COMMAND} -E chdir ${help_work} ${TAVREL_CHMCMD} --verbosity 0 cdforge.hhp
  COMMAND ${CMAKE_COMMAND} -E copy ${help_work}/cdforge.chm ${CDFORGE_HELP}
  WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
  DEPENDS ${CDFORGE_HELP_SOURCES}
  COMMENT "Compiling the burner's help file cdforge.chm"
  VERBATIM)
add_custom_target(cdforge_help ALL DEPENDS ${CDFORGE_HELP})
add_dependencies(cdforge cdforge_help)
