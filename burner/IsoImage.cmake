# Data discs as ISO 9660 + Joliet images ("burn to image").
add_library(burner_iso STATIC ${CMAKE_CURRENT_LIST_DIR}/IsoImageWriter.cpp)
target_compile_options(burner_iso PRIVATE ${TAVREL_WARNINGS})
target_include_directories(burner_iso PUBLIC ${CMAKE_CURRENT_LIST_DIR}
                                      PRIVATE ${PROJECT_SOURCE_DIR}/include ${PROJECT_SOURCE_DIR}/engine/core)
