# Writes the page from its template: the style, the option table (JSON
# printed by the core, run under node), the page's script (the zip writer,
# then the page's own code) and the worker's script (the compiled module,
# then the worker's own code) go inline, so that the page is one file that
# needs nothing else.
#
# cmake -DTEMPLATE=... -DSTYLE=... -DSCRIPT=... -DZIP=... -DMODULE=...
#       -DWORKER=... -DNODE=... -DOPTION_PROGRAM=... -DOUTPUT=...
#       -P assemble_page.cmake

file(READ "${TEMPLATE}" page)
file(READ "${STYLE}" style)
file(READ "${ZIP}" zip_writer)
file(READ "${SCRIPT}" page_script)
set(script "${zip_writer}\n${page_script}")
file(READ "${MODULE}" module)
file(READ "${WORKER}" worker)
set(worker_script "${module}\n${worker}")
execute_process(COMMAND "${NODE}" "${OPTION_PROGRAM}"
                OUTPUT_VARIABLE option_table RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT option_table MATCHES "^\\[")
  message(FATAL_ERROR "${OPTION_PROGRAM} gave no option table (${status})")
endif()

# Inside a script element, "</script" would end it early and "<!--" would
# change how the rest is read; neither may occur in inlined code.
foreach(name script worker_script option_table)
  string(TOLOWER "${${name}}" lowered)
  string(FIND "${lowered}" "</script" closing)
  string(FIND "${lowered}" "<!--" comment)
  if(NOT closing EQUAL -1 OR NOT comment EQUAL -1)
    message(FATAL_ERROR "${name} holds text that cannot be inlined in a script element")
  endif()
endforeach()

foreach(placeholder PAGE_STYLE OPTION_TABLE PAGE_SCRIPT WORKER_SCRIPT)
  string(FIND "${page}" "@${placeholder}@" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${TEMPLATE} has no @${placeholder}@")
  endif()
endforeach()
string(REPLACE "@PAGE_STYLE@" "${style}" page "${page}")
string(REPLACE "@OPTION_TABLE@" "${option_table}" page "${page}")
string(REPLACE "@PAGE_SCRIPT@" "${script}" page "${page}")
string(REPLACE "@WORKER_SCRIPT@" "${worker_script}" page "${page}")
file(WRITE "${OUTPUT}" "${page}")
