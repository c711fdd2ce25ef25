# `cmake --build build --target format` formats every source file in place.
find_program(CLANG_FORMAT clang-format)
if(CLANG_FORMAT)
  # The folders to format are those format-folders.txt lists
  # (scripts/check-style.sh reads it too).
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/format-folders.txt)
  file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/format-folders.txt folders)
  set(patterns)
  foreach(folder IN LISTS folders)
    list(APPEND patterns ${PROJECT_SOURCE_DIR}/${folder}/*.cpp ${PROJECT_SOURCE_DIR}/${folder}/*.h)
  endforeach()
  file(GLOB_RECURSE ORVA_FORMAT_SOURCES CONFIGURE_DEPENDS ${patterns})
  add_custom_target(format COMMAND ${CLANG_FORMAT} -i ${ORVA_FORMAT_SOURCES}
                    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR} COMMENT "Formatting sources")
endif()
