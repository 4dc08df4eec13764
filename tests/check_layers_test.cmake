cmake_minimum_required(VERSION 3.25)
# The layering check against small fake trees: a clean one passes, and each
# kind of violation alone makes it fail.
# -DCHECK=check_layers.cmake -DWORK=scratch folder
set(clean
    "io/file_io.h|#include \"messages/messages.h\""
    "image/trm_decoder.cpp|#include \"input/frame_output.h\"\n#include <sys/stat.h>"
    "gui/qt/main.cpp|#include \"gui/qt/dialog.h\"\n#include <QtWidgets/QDialog>\n#include \"app/batch.h\""
    "cli/main.cpp|#include \"image/trm_decoder.h\""
    "messages/messages.h|#include <string>")
set(violations
    "indented|samples/libm.h|  #include \"app/batch.h\""
    "spaced|io/file_io.cpp|# include \"image/output_image.h\""
    "angle brackets|input/kv_song.cpp|#include <app/workspace.h>"
    "subfolder|samples/detail/window.h|#include \"image/image_format.h\""
    "messages including a room|messages/messages.h|#include \"io/file_io.h\""
    "toolkit beside toolkit|gui/win32/main.cpp|#include \"gui/qt/dialog.h\""
    "front end below app|app/batch.cpp|#include \"cli/commands.h\""
    "folder in no room|extra/thing.h|#include <string>")

function(write_tree dir files)
  file(REMOVE_RECURSE ${dir})
  foreach(entry ${files})
    string(REPLACE "|" ";" parts "${entry}")
    list(GET parts 0 path)
    list(GET parts 1 text)
    string(REPLACE "\\n" "\n" text "${text}")
    file(WRITE ${dir}/src/${path} "${text}\n")
  endforeach()
endfunction()

function(check dir out_result)
  execute_process(COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${dir} -P ${CHECK} RESULT_VARIABLE result
                  OUTPUT_QUIET ERROR_QUIET)
  set(${out_result} ${result} PARENT_SCOPE)
endfunction()

write_tree(${WORK}/clean "${clean}")
check(${WORK}/clean result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the clean tree fails the check")
endif()
foreach(violation ${violations})
  string(REPLACE "|" ";" parts "${violation}")
  list(GET parts 0 kind)
  list(GET parts 1 path)
  list(GET parts 2 text)
  write_tree(${WORK}/bad "${clean};${path}|${text}")
  check(${WORK}/bad result)
  if(result EQUAL 0)
    message(SEND_ERROR "passes the check: ${kind} (src/${path}: ${text})")
  endif()
endforeach()
