# Whole conversions in memory and a strict JSON reader, shared by the tests
# and the fuzz targets; neither needs a test framework.
if(NOT TARGET kapolex_memory_run)
  add_library(kapolex_memory_run STATIC ${CMAKE_CURRENT_LIST_DIR}/memory_run.cpp
                                        ${CMAKE_CURRENT_LIST_DIR}/json_value.cpp)
  target_include_directories(kapolex_memory_run PUBLIC ${CMAKE_CURRENT_LIST_DIR}/..)
  target_link_libraries(kapolex_memory_run PUBLIC kapolex_run)
endif()
