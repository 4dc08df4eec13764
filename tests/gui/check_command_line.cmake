# The dialog program's own command line, with no display to open a window
# on: --help and --version print and end with 0, any other option is refused
# on standard error with 2, before any window is needed.
# Arguments: -DPROGRAM=... [-DWINE_PREFIX=...] (a Windows program, run under
# wine in that prefix)
set(cases
  "--help|0|Usage: kvtram-gui"
  "--version|0|kvtram-gui [0-9]"
  "--bogus|2|--bogus : "
  "-platform|2|-platform : ")
set(EMULATOR)
if(WINE_PREFIX)
  set(EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../../cmake/wine-run ${WINE_PREFIX})
endif()
foreach(case IN LISTS cases)
  string(REPLACE "|" ";" fields "${case}")
  list(GET fields 0 argument)
  list(GET fields 1 status)
  list(GET fields 2 pattern)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY --unset=QT_QPA_PLATFORM
                          ${EMULATOR} ${PROGRAM} ${argument}
                  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 120)
  if(status EQUAL 0)
    set(text "${out}")
  else()
    set(text "${err}")
  endif()
  if(NOT result STREQUAL status OR NOT text MATCHES "${pattern}")
    message(FATAL_ERROR "kvtram-gui ${argument}: exit ${result}, stdout [${out}], stderr [${err}]")
  endif()
endforeach()
message(STATUS "command line ok")
