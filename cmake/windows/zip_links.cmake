# Writes a Markdown document of the source tree as the Windows zip ships it:
# a link to a document the zip holds keeps working, the manual page's link
# leads to its text rendering, and a link to a file the zip leaves out
# keeps its words but no longer points anywhere (an image of such a file is
# left out), so that no link in the unpacked folder is dead.
#
# Usage: cmake -DSOURCE=<file.md> -DSOURCE_ROOT=<source tree> -DZIP_PATH=<path in the zip>
#              -DSHIPPED=<paths in the zip, ;-separated> -DOUTPUT=<file> -P zip_links.cmake
cmake_minimum_required(VERSION 3.25)
foreach(variable SOURCE SOURCE_ROOT ZIP_PATH SHIPPED OUTPUT)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "zip_links.cmake needs -D${variable}=...")
  endif()
endforeach()

file(READ "${SOURCE}" text)
get_filename_component(source_folder "${SOURCE}" DIRECTORY)
get_filename_component(zip_folder "${ZIP_PATH}" DIRECTORY)

# The zip path a link target of the document leads to, or "" for none.
function(zip_target target out)
  string(REGEX REPLACE "#.*$" "" file_part "${target}")
  get_filename_component(resolved "${source_folder}/${file_part}" ABSOLUTE)
  file(RELATIVE_PATH in_tree "${SOURCE_ROOT}" "${resolved}")
  if(in_tree STREQUAL "doc/kapolex.1")
    set(in_tree kapolex.txt)
  endif()
  if(in_tree IN_LIST SHIPPED)
    string(REGEX MATCH "#.*$" anchor "${target}")
    if(zip_folder STREQUAL "")
      set(relative "${in_tree}")
    else()
      file(RELATIVE_PATH relative "/zip/${zip_folder}" "/zip/${in_tree}")
    endif()
    set(${out} "${relative}${anchor}" PARENT_SCOPE)
  else()
    set(${out} "" PARENT_SCOPE)
  endif()
endfunction()

set(result "")
set(rest "${text}")
# [words](target) and ![words](target), the target relative (no scheme, not
# an anchor of the same document).
set(link_pattern "(!?)\\[([^]]*)\\]\\(([^):#][^):]*)\\)")
while(rest MATCHES "${link_pattern}")
  string(FIND "${rest}" "${CMAKE_MATCH_0}" at)
  set(whole "${CMAKE_MATCH_0}")
  set(image "${CMAKE_MATCH_1}")
  set(words "${CMAKE_MATCH_2}")
  set(target "${CMAKE_MATCH_3}")
  string(SUBSTRING "${rest}" 0 ${at} before)
  string(LENGTH "${whole}" length)
  math(EXPR after "${at} + ${length}")
  string(SUBSTRING "${rest}" ${after} -1 rest)
  zip_target("${target}" shipped_target)
  if(NOT shipped_target STREQUAL "")
    string(APPEND result "${before}${image}[${words}](${shipped_target})")
  elseif(image STREQUAL "!")
    string(APPEND result "${before}")
  else()
    string(APPEND result "${before}${words}")
  endif()
endwhile()
string(APPEND result "${rest}")
file(WRITE "${OUTPUT}" "${result}")
