# Installs the build into a scratch prefix and checks that the tool, the
# simulator, zantoctl, their manual pages, the desktop entry, the AppStream
# metadata, the icons and the package's documents land where a desktop, a
# software centre, man(1) and dpkg find them, and that they agree with each
# other and with the project's version.
# Run with -DBUILD_DIR=... -DPREFIX=... -DVERSION=...
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()
set(desktop zanto-setup.desktop)
set(id invalid.zanto.zanto_setup)
set(metainfo share/metainfo/${id}.metainfo.xml)
set(doc share/doc/zanto-setup)
foreach(path bin/zanto-setup bin/zanto-reader-sim bin/zantoctl
             share/applications/${desktop} ${metainfo} ${doc}/copyright
             share/icons/hicolor/256x256/apps/zanto-setup.png share/icons/hicolor/48x48/apps/zanto-setup.png)
  if(NOT EXISTS "${PREFIX}/${path}")
    message(FATAL_ERROR "not installed: ${path}")
  endif()
endforeach()

# Compressed as Debian wants: gzip, best compression (XFL 2), no name and no
# time stamp in the header, so every build gives the same bytes.
function(read_gzipped path out)
  if(NOT EXISTS "${PREFIX}/${path}")
    message(FATAL_ERROR "not installed: ${path}")
  endif()
  file(READ "${PREFIX}/${path}" header LIMIT 9 HEX)
  if(NOT header STREQUAL "1f8b08000000000002")
    message(FATAL_ERROR "${path} is not gzip -9n output: header ${header}")
  endif()
  execute_process(COMMAND gzip -dc "${PREFIX}/${path}" RESULT_VARIABLE result OUTPUT_VARIABLE text)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "gzip -dc ${path}: ${result}")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

function(expect text what)
  foreach(part IN LISTS ARGN)
    string(FIND "${text}" "${part}" at)
    if(at EQUAL -1)
      message(FATAL_ERROR "${what} lacks ${part}")
    endif()
  endforeach()
endfunction()

foreach(page zanto-setup zanto-reader-sim zantoctl)
  read_gzipped(share/man/man1/${page}.1.gz manual)
  string(TOUPPER "${page}" title)
  expect("${manual}" "${page}.1" ".TH ${title} 1 " "zanto-setup ${VERSION}" ".SH NAME\n${page} \\- ")
  if(page STREQUAL "zantoctl")
    expect("${manual}" "${page}.1" ".SH EXIT STATUS" "read\\-config")
  endif()
endforeach()

read_gzipped(${doc}/changelog.gz changelog)
string(REGEX MATCH "^[^\n]*" first "${changelog}")
expect("${first}" "the changelog's first line" "zanto-setup (${VERSION}) ")

file(READ "${PREFIX}/share/applications/${desktop}" entry)
expect("${entry}" "desktop entry" "Type=Application" "Exec=zanto-setup\n" "Icon=zanto-setup\n" "Name=ZANTO Setup and Test")

# A software centre finds the metadata by its file name and the window through
# the launchable, so both must name what is installed.
file(READ "${PREFIX}/${metainfo}" meta)
expect("${meta}" "${metainfo}" "<id>${id}</id>" "<launchable type=\"desktop-id\">${desktop}</launchable>"
       "<release version=\"${VERSION}\"")

# The installed program runs on its own: no display, no build tree.
execute_process(COMMAND "${PREFIX}/bin/zantoctl" --version RESULT_VARIABLE result OUTPUT_VARIABLE version)
if(NOT result EQUAL 0 OR NOT version MATCHES "^zantoctl ${VERSION}")
  message(FATAL_ERROR "installed zantoctl --version: ${result} ${version}")
endif()
file(REMOVE_RECURSE "${PREFIX}")
