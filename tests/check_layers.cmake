cmake_minimum_required(VERSION 3.25)
# The house's rooms depend one way only: a source may include its own room's
# headers and those of the rooms below it, never above or beside it.
#
#      cli        gui  (gui/qt, gui/win32: siblings)        web
#       |          |                                          |
#       +----------+------------------ app -------------------+
#       |                               |
#       +-------------------------- image        (cli reads songs and images
#       |                          /     \        for info and dump itself)
#       +-------------------- input      samples
#       |                       |
#       +----------------------io
#   messages under them all; it includes nothing of the project. web may
#   also use cli's commands: the page's size report is what `kvtram info` prints.
#
# Every file under src/ is checked, in every subfolder, and every form of
# include that names a room: "room/...", <room/...>, indented, "# include".
# A folder that is no room here fails too, so that a new room gets drawn.
#
# -DSOURCE_DIR=tree (its src/ is checked).
set(rooms messages io input samples image app cli gui gui/qt gui/win32 web)
set(allowed_messages messages)
set(allowed_io messages io)
set(allowed_input messages io input)
set(allowed_samples messages samples)
set(allowed_image messages io input samples image)
set(allowed_app messages io input samples image app)
set(allowed_cli messages io input samples image app cli)
set(allowed_gui messages io input samples image app gui)
set(allowed_gui/qt ${allowed_gui} gui/qt)
set(allowed_gui/win32 ${allowed_gui} gui/win32)
set(allowed_web messages io input samples image app cli web)

set(include_pattern "^[ \t]*#[ \t]*include[ \t]*[<\"]([a-z_0-9]+)/([a-z_0-9]+/)?")
set(failures "")
file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR}/src
     ${SOURCE_DIR}/src/*.h ${SOURCE_DIR}/src/*.hpp ${SOURCE_DIR}/src/*.cpp ${SOURCE_DIR}/src/*.cc
     ${SOURCE_DIR}/src/*.rc)
foreach(source ${sources})
  # The room of a file: its first folder, or gui/<toolkit>.
  string(REGEX MATCH "^(gui/qt|gui/win32|[^/]+)/" room "${source}")
  string(REGEX REPLACE "/$" "" room "${room}")
  if(NOT room IN_LIST rooms)
    string(APPEND failures "src/${source}: in no room of the layers\n")
    continue()
  endif()
  file(STRINGS ${SOURCE_DIR}/src/${source} includes REGEX "${include_pattern}")
  foreach(line ${includes})
    string(REGEX MATCH "${include_pattern}" match "${line}")
    set(target "${CMAKE_MATCH_1}")
    # Only the rooms count: <sys/stat.h>, <QtWidgets/...> are not the project's.
    if(NOT target IN_LIST rooms)
      continue()
    endif()
    if(target STREQUAL "gui" AND CMAKE_MATCH_2 MATCHES "^(qt|win32)/$")
      set(target "gui/${CMAKE_MATCH_1}")
    endif()
    if(NOT target IN_LIST allowed_${room})
      string(APPEND failures "src/${source}: ${line}\n")
    endif()
  endforeach()
endforeach()
if(failures)
  message(FATAL_ERROR "Includes against the direction of the layers:\n${failures}")
endif()
