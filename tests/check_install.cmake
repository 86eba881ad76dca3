# Installs the build in BUILD_DIR into PREFIX (emptied first) and checks the
# installed tree: kolvex-console runs from it without any library path set,
# and the desktop entry and the AppStream metadata pass desktop-file-validate
# and appstreamcli.
if(NOT BUILD_DIR OR NOT PREFIX)
    message(FATAL_ERROR "Usage: cmake -DBUILD_DIR=<build> -DPREFIX=<empty folder> -P check_install.cmake")
endif()

file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${errors}")
endif()

foreach(file bin/kolvex bin/kolvex-console share/applications/org.kolvex.Kolvex.desktop
        share/icons/hicolor/scalable/apps/org.kolvex.Kolvex.svg share/metainfo/org.kolvex.Kolvex.metainfo.xml)
    if(NOT EXISTS "${PREFIX}/${file}")
        message(FATAL_ERROR "Not installed: ${file}")
    endif()
endforeach()

# The libraries come from the installed tree, not from the build folder.
execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=LD_LIBRARY_PATH "${PREFIX}/bin/kolvex-console" --help
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE errors)
if(NOT result EQUAL 0 OR NOT output MATCHES "--data-dir")
    message(FATAL_ERROR "The installed kolvex-console does not run (${result}): ${output} ${errors}")
endif()
# One version everywhere: what the program says is what its AppStream description says.
execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=LD_LIBRARY_PATH "${PREFIX}/bin/kolvex-console" --version
                OUTPUT_VARIABLE versionOutput)
file(READ "${PREFIX}/share/metainfo/org.kolvex.Kolvex.metainfo.xml" metainfo)
string(REGEX MATCH "<release version=\"([^\"]+)\"" release "${metainfo}")
set(releaseVersion "${CMAKE_MATCH_1}")
if(NOT releaseVersion MATCHES "^[0-9]+\\.[0-9]+" OR NOT versionOutput MATCHES "kolvex ${releaseVersion}")
    message(FATAL_ERROR "Versions differ: the program says \"${versionOutput}\", the metadata \"${releaseVersion}\"")
endif()
file(GLOB_RECURSE installedLibraries "${PREFIX}/*/libkolvex_core.so*")
if(NOT installedLibraries)
    message(FATAL_ERROR "The layer libraries are not installed")
endif()
find_program(LDD ldd)
if(LDD)
    execute_process(COMMAND ${LDD} "${PREFIX}/bin/kolvex-console" OUTPUT_VARIABLE linked)
    string(REGEX MATCH "libkolvex_app.so => ([^ ]+)" found "${linked}")
    if(NOT CMAKE_MATCH_1 MATCHES "^${PREFIX}")
        message(FATAL_ERROR "kolvex-console uses libkolvex_app.so from ${CMAKE_MATCH_1}, not from ${PREFIX}")
    endif()
endif()

find_program(DESKTOP_FILE_VALIDATE desktop-file-validate REQUIRED)
execute_process(COMMAND ${DESKTOP_FILE_VALIDATE} "${PREFIX}/share/applications/org.kolvex.Kolvex.desktop"
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE errors)
if(NOT result EQUAL 0 OR output MATCHES "error|warning")
    message(FATAL_ERROR "desktop-file-validate: ${output} ${errors}")
endif()

find_program(APPSTREAMCLI appstreamcli REQUIRED)
execute_process(COMMAND ${APPSTREAMCLI} validate --no-net "${PREFIX}/share/metainfo/org.kolvex.Kolvex.metainfo.xml"
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "appstreamcli validate: ${output} ${errors}")
endif()
message(STATUS "Installed tree in ${PREFIX} checked")
