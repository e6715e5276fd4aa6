# CD images (".fgx"): the burner's saved lists, read and written through the MSXML 3 DOM.
add_library(burner_cdimage STATIC ${CMAKE_CURRENT_LIST_DIR}/CdImageFile.cpp)
target_compile_options(burner_cdimage PRIVATE ${TAVREL_WARNINGS})
target_include_directories(burner_cdimage PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(burner_cdimage PUBLIC ole32 oleaut32 uuid)
