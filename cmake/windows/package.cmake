# What a Windows user unpacks: kapolex-<version>-win64.zip with the two
# programs, the sample log and the answer to its prompt, the README, the user
# guide and the manual page as plain text, all under one folder. Made by
# `cpack --preset windows`; `cmake --install` lays out the same files.
install(TARGETS kapolex zlogsim RUNTIME DESTINATION .)
install(FILES examples/z.log examples/week.txt DESTINATION examples)
install(FILES doc/sample-plot.png DESTINATION doc)

# The documents, their links rewritten for the zip (zip_links.cmake): every
# link leads to a file in it, or is left as words.
set(kapolex_zip_files README.md doc/user-guide.md doc/quality-report.md doc/sample-plot.png
    kapolex.txt examples/z.log examples/week.txt)
foreach(document README.md doc/user-guide.md doc/quality-report.md)
  set(shipped ${PROJECT_BINARY_DIR}/zip/${document})
  add_custom_command(
    OUTPUT ${shipped}
    COMMAND ${CMAKE_COMMAND} -DSOURCE=${PROJECT_SOURCE_DIR}/${document}
            -DSOURCE_ROOT=${PROJECT_SOURCE_DIR} -DZIP_PATH=${document}
            "-DSHIPPED=${kapolex_zip_files}" -DOUTPUT=${shipped}
            -P ${PROJECT_SOURCE_DIR}/cmake/windows/zip_links.cmake
    DEPENDS ${PROJECT_SOURCE_DIR}/${document} ${PROJECT_SOURCE_DIR}/cmake/windows/zip_links.cmake
    COMMENT "Writing ${document} with the zip's links"
    VERBATIM)
  list(APPEND kapolex_zip_documents ${shipped})
  get_filename_component(folder ${document} DIRECTORY)
  install(FILES ${shipped} DESTINATION ./${folder})
endforeach()
add_custom_target(kapolex_zip_documents ALL DEPENDS ${kapolex_zip_documents})

# The manual page, rendered as man would show it, without overstriking.
find_program(KAPOLEX_GROFF groff)
if(KAPOLEX_GROFF)
  set(kapolex_manual_text ${PROJECT_BINARY_DIR}/kapolex.txt)
  add_custom_command(
    OUTPUT ${kapolex_manual_text}
    COMMAND ${KAPOLEX_GROFF} -man -Tascii -P-cbou ${PROJECT_SOURCE_DIR}/doc/kapolex.1
            > ${kapolex_manual_text}
    DEPENDS ${PROJECT_SOURCE_DIR}/doc/kapolex.1
    COMMENT "Rendering the manual page as text"
    VERBATIM)
  add_custom_target(kapolex_manual_text ALL DEPENDS ${kapolex_manual_text})
  install(FILES ${kapolex_manual_text} DESTINATION .)
else()
  message(WARNING "groff is missing: the Windows package will lack the manual page as text")
endif()

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME kapolex)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME kapolex-${PROJECT_VERSION}-win64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR})
include(CPack)
