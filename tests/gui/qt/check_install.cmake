# Installs the build into a scratch prefix and checks that the programs, the
# desktop entry and the icons land where a desktop looks for them.
# Arguments: -DBUILD_DIR=... -DPREFIX=...
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()
foreach(file
    bin/kvtram
    bin/kvtram-gui
    share/applications/kvtram-gui.desktop
    share/mime/packages/kvtram.xml
    share/icons/hicolor/16x16/apps/kvtram-gui.png
    share/icons/hicolor/48x48/apps/kvtram-gui.png
    share/icons/hicolor/256x256/apps/kvtram-gui.png)
  if(NOT EXISTS "${PREFIX}/${file}")
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
file(READ "${PREFIX}/share/applications/kvtram-gui.desktop" entry)
foreach(line "Exec=kvtram-gui %F" "Icon=kvtram-gui" "Type=Application" "MimeType=audio/x-kv;")
  string(FIND "${entry}" "${line}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "desktop entry lacks ${line}")
  endif()
endforeach()
file(REMOVE_RECURSE "${PREFIX}")
message(STATUS "install layout ok")
