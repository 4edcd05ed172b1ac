# Whole conversions in memory, shared by the tests and the fuzz targets.
if(NOT TARGET kapolex_memory_run)
  add_library(kapolex_memory_run STATIC ${CMAKE_CURRENT_LIST_DIR}/memory_run.cpp)
  target_include_directories(kapolex_memory_run PUBLIC ${CMAKE_CURRENT_LIST_DIR}/..)
  target_link_libraries(kapolex_memory_run PUBLIC kapolex_run)
endif()
