# Whole conversions in memory and a strict JSON reader, shared by the tests
# and the fuzz targets; neither needs a test framework.
if(NOT TARGET kapolex_memory_run)
  if(WIN32)
    set(kapolex_memory_file ${CMAKE_CURRENT_LIST_DIR}/memory_file_windows.cpp)
  else()
    set(kapolex_memory_file ${CMAKE_CURRENT_LIST_DIR}/memory_file_posix.cpp)
  endif()
  add_library(kapolex_memory_run STATIC ${CMAKE_CURRENT_LIST_DIR}/memory_run.cpp
                                        ${kapolex_memory_file}
                                        ${CMAKE_CURRENT_LIST_DIR}/json_value.cpp)
  target_include_directories(kapolex_memory_run PUBLIC ${CMAKE_CURRENT_LIST_DIR}/..)
  target_link_libraries(kapolex_memory_run PUBLIC kapolex_run)
endif()
