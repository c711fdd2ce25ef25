# `cmake --build build --target format` formats every source file in place.
find_program(CLANG_FORMAT clang-format)
if(CLANG_FORMAT)
  file(GLOB_RECURSE ORVA_FORMAT_SOURCES CONFIGURE_DEPENDS
       ${PROJECT_SOURCE_DIR}/src/*.cpp ${PROJECT_SOURCE_DIR}/src/*.h
       ${PROJECT_SOURCE_DIR}/tests/*.cpp ${PROJECT_SOURCE_DIR}/tests/*.h
       ${PROJECT_SOURCE_DIR}/tools/*.cpp ${PROJECT_SOURCE_DIR}/tools/*.h
       ${PROJECT_SOURCE_DIR}/bench/*.cpp ${PROJECT_SOURCE_DIR}/bench/*.h
       ${PROJECT_SOURCE_DIR}/fuzz/*.cpp)
  add_custom_target(format COMMAND ${CLANG_FORMAT} -i ${ORVA_FORMAT_SOURCES}
                    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR} COMMENT "Formatting sources")
endif()
