# Installs the build into a scratch prefix and checks that the tool, the
# simulator, zantoctl with its manual page, the desktop entry and the icons
# land where a desktop and man(1) find them.
# Run with -DBUILD_DIR=... -DPREFIX=...
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()
foreach(path bin/zanto-setup bin/zanto-reader-sim bin/zantoctl share/man/man1/zantoctl.1
             share/applications/zanto-setup.desktop
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
file(READ "${PREFIX}/share/man/man1/zantoctl.1" manual)
foreach(text ".TH ZANTOCTL 1" ".SH EXIT STATUS" "read\\-config")
  string(FIND "${manual}" "${text}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "zantoctl.1 lacks ${text}")
  endif()
endforeach()
# The installed program runs on its own: no display, no build tree.
execute_process(COMMAND "${PREFIX}/bin/zantoctl" --version RESULT_VARIABLE result OUTPUT_VARIABLE version)
if(NOT result EQUAL 0 OR NOT version MATCHES "^zantoctl [0-9]")
  message(FATAL_ERROR "installed zantoctl --version: ${result} ${version}")
endif()
file(REMOVE_RECURSE "${PREFIX}")
