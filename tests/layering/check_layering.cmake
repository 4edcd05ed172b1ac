# Fails when a folder of the sources includes a header of a folder above it.
# The subsystems build on each other one way only:
#
#   compat <- common <- receiver_log <- measure <- qc <- run
#             common <- rinex <- run
#
# so the log format knows nothing of time keeping, the measurement stage
# never sees the output or the quality check, the observation output sees
# only the common types, and nothing below the run sees the run. zlogsim
# stays apart from kapolex altogether. The libraries all share one include
# root, so only this check keeps those arrows pointing one way.
#
# Usage: cmake -DSOURCE_DIR=<tree holding src/ and zlogsim/> -P check_layering.cmake
cmake_minimum_required(VERSION 3.25)
if(NOT DEFINED SOURCE_DIR)
  message(FATAL_ERROR "usage: cmake -DSOURCE_DIR=<source tree> -P check_layering.cmake")
endif()
get_filename_component(SOURCE_DIR "${SOURCE_DIR}" ABSOLUTE)

# What each folder may include, beside its own headers.
set(allowed_compat "")
set(allowed_common compat)
set(allowed_receiver_log compat common)
set(allowed_measure compat common receiver_log)
set(allowed_rinex compat common)
set(allowed_qc compat common receiver_log measure)
set(allowed_run compat common receiver_log measure rinex qc)
set(allowed_zlogsim "")
set(layers compat common receiver_log measure rinex qc run)

set(violations "")
foreach(folder IN ITEMS ${layers} zlogsim)
  if(folder STREQUAL "zlogsim")
    set(root "${SOURCE_DIR}/zlogsim")
  else()
    set(root "${SOURCE_DIR}/src/${folder}")
  endif()
  file(GLOB_RECURSE files "${root}/*.hpp" "${root}/*.cpp" "${root}/*.in")
  foreach(file IN LISTS files)
    file(STRINGS "${file}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"]+\"")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*" "\\1" header "${line}")
      string(REGEX MATCH "^[a-z_]+/" included "${header}")
      string(REPLACE "/" "" included "${included}")
      # A header of a folder of kapolex's sources is the only kind checked;
      # zlogsim's own headers are named without a folder.
      if(included STREQUAL "" OR NOT included IN_LIST layers OR included STREQUAL folder)
        continue()
      endif()
      if(NOT included IN_LIST allowed_${folder})
        file(RELATIVE_PATH shown "${SOURCE_DIR}" "${file}")
        list(APPEND violations "${shown} includes \"${header}\": ${folder} may not see ${included}")
      endif()
    endforeach()
  endforeach()
endforeach()

if(violations)
  list(JOIN violations "\n  " text)
  message(FATAL_ERROR "includes against the layering:\n  ${text}")
endif()
message(STATUS "layering: every include points down")
