# Installs the build into a scratch prefix and checks that the tool, the
# simulator, the desktop entry and the icons land where a desktop finds them.
# Run with -DBUILD_DIR=... -DPREFIX=...
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()
foreach(path bin/zanto-setup bin/zanto-reader-sim share/applications/zanto-setup.desktop
             share/icons/hicolor/256x256/apps/zanto-setup.png share/icons/hicolor/48x48/apps/zanto-setup.png)
  if(NOT EXISTS "${PREFIX}/${path}")
    message(FATAL_ERROR "not installed: ${path}")
  endif()
endforeach()
file(READ "${PREFIX}/share/applications/zanto-setup.desktop" entry)
foreach(line "Type=Application" "Exec=zanto-setup" "Icon=zanto-setup" "Name=ZANTO Setup and Test")
  string(FIND "${entry}" "${line}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "desktop entry lacks ${line}")
  endif()
endforeach()
file(REMOVE_RECURSE "${PREFIX}")
