# Packs the build in BUILD_DIR as a Debian package with CPack in WORK (emptied
# first) and checks it: its file name carries VERSION and the machine's
# architecture, its dependencies come from the shared-library scan, lintian
# reports no error, and kolvex-console runs from the package unpacked with
# dpkg -x into a scratch root: --help, and a default calculation on the
# shipped sample lines. Without dpkg-deb, dpkg-shlibdeps or lintian it says
# "SKIPPED:" and why, which CTest reports as a skipped test.
if(NOT BUILD_DIR OR NOT WORK OR NOT VERSION OR NOT LIBDIR)
    message(FATAL_ERROR "Usage: cmake -DBUILD_DIR=<build> -DWORK=<empty folder> -DVERSION=<x.y.z> "
                        "-DLIBDIR=<folder of the layer libraries, relative to /usr> -P check_package.cmake")
endif()

foreach(tool dpkg dpkg-deb dpkg-shlibdeps lintian cpack)
    string(TOUPPER "${tool}" variable)
    string(REPLACE "-" "_" variable "${variable}")
    find_program(${variable} ${tool})
    if(NOT ${variable})
        message("SKIPPED: ${tool} is missing (Debian packages dpkg-dev and lintian); the package is not checked")
        return()
    endif()
endforeach()

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
execute_process(COMMAND ${CPACK} -G DEB --config "${BUILD_DIR}/CPackConfig.cmake" -B "${WORK}"
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cpack failed: ${output} ${errors}")
endif()
execute_process(COMMAND ${DPKG} --print-architecture OUTPUT_VARIABLE architecture OUTPUT_STRIP_TRAILING_WHITESPACE)
set(package "${WORK}/kolvex_${VERSION}_${architecture}.deb")
if(NOT EXISTS "${package}")
    file(GLOB made "${WORK}/*.deb")
    message(FATAL_ERROR "No package ${package}; cpack made: ${made}")
endif()

# The control fields: the version, and dependencies found by the scan (Qt's
# libraries with version bounds), the QML modules named by hand, none on the
# package's own layer libraries.
execute_process(COMMAND ${DPKG_DEB} --field "${package}" Package Version Architecture Depends
                OUTPUT_VARIABLE fields RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "dpkg-deb cannot read ${package}")
endif()
foreach(expected "Package: kolvex\n" "Version: ${VERSION}\n" "Architecture: ${architecture}\n")
    string(FIND "${fields}" "${expected}" at)
    if(at LESS 0)
        message(FATAL_ERROR "The control fields lack \"${expected}\":\n${fields}")
    endif()
endforeach()
foreach(dependency "libqt5core5a \\(>= 5\\.15" "libqt5websockets5 \\(>= " "libqt5quick5 \\(>= " "libc6 \\(>= "
        "libstdc\\+\\+6 \\(>= " "qml-module-qtquick-controls2")
    if(NOT fields MATCHES "Depends: [^\n]*${dependency}")
        message(FATAL_ERROR "The dependencies lack ${dependency}:\n${fields}")
    endif()
endforeach()
if(fields MATCHES "kolvex_|libkolvex")
    message(FATAL_ERROR "The package depends on its own libraries:\n${fields}")
endif()

# What the package holds.
execute_process(COMMAND ${DPKG_DEB} --contents "${package}" OUTPUT_VARIABLE contents)
set(files usr/bin/kolvex usr/bin/kolvex-console)
foreach(layer core calc download bluetooth data remote sensors app ui)
    list(APPEND files usr/${LIBDIR}/libkolvex_${layer}.so)
endforeach()
foreach(file ${files} usr/share/applications/org.kolvex.Kolvex.desktop
        usr/share/icons/hicolor/scalable/apps/org.kolvex.Kolvex.svg usr/share/metainfo/org.kolvex.Kolvex.metainfo.xml
        usr/share/doc/kolvex/copyright usr/share/doc/kolvex/changelog.gz)
    string(FIND "${contents}" " ./${file}\n" at)
    if(at LESS 0)
        message(FATAL_ERROR "The package lacks /${file}:\n${contents}")
    endif()
endforeach()

# lintian: its whole report is shown; an error fails the test, and so does a
# lintian that could not check the package (exit status 2).
execute_process(COMMAND ${LINTIAN} --tag-display-limit 0 --fail-on error "${package}"
                OUTPUT_VARIABLE report ERROR_VARIABLE lintianErrors RESULT_VARIABLE result)
message("lintian ${package}:\n${report}${lintianErrors}")
if(report MATCHES "(^|\n)E: " OR NOT result EQUAL 0)
    message(FATAL_ERROR "lintian reports errors or could not check the package (exit status ${result})")
endif()

# Unpacked into a scratch root, the programs run from there with the layer
# libraries of the package.
set(scratch "${WORK}/root")
execute_process(COMMAND ${DPKG} -x "${package}" "${scratch}" RESULT_VARIABLE result ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "dpkg -x failed: ${errors}")
endif()
set(console "${scratch}/usr/bin/kolvex-console")
execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=LD_LIBRARY_PATH "${console}" --help
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE errors)
if(NOT result EQUAL 0 OR NOT output MATCHES "--data-dir")
    message(FATAL_ERROR "kolvex-console --help from the package fails (${result}): ${output} ${errors}")
endif()
find_program(LDD ldd)
if(LDD)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=LD_LIBRARY_PATH ${LDD} "${console}" OUTPUT_VARIABLE linked)
    string(REGEX MATCH "libkolvex_core.so => ([^ ]+)" found "${linked}")
    set(used "")
    if(found)
        file(REAL_PATH "${CMAKE_MATCH_1}" used)
    endif()
    file(REAL_PATH "${scratch}/usr/${LIBDIR}/libkolvex_core.so" packaged)
    if(NOT used STREQUAL packaged)
        message(FATAL_ERROR "kolvex-console of the package uses libkolvex_core.so from \"${CMAKE_MATCH_1}\"")
    endif()
endif()

# A default calculation, offline (the service is a closed local port), in a
# fresh data folder: the shipped files are installed, the sample lines used.
# Its default grid is 2000-2300 cm-1 in 10000 points, where the sample's CO2
# and CO lines make the total absorption positive.
set(data "${WORK}/data")
file(MAKE_DIRECTORY "${data}")
file(WRITE "${WORK}/commands.txt" "#CALC\n#RESULT;NUMWNPTS\n#RESULT;SWAVE\n#RESULT;EWAVE\n#PREC;3\n#RESULT;SPEC;TOTAL\n")
execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=LD_LIBRARY_PATH
                        "${console}" --data-dir "${data}" --service-url http://127.0.0.1:9
                INPUT_FILE "${WORK}/commands.txt" RESULT_VARIABLE result OUTPUT_VARIABLE replies
                ERROR_VARIABLE messages TIMEOUT 240)
if(NOT result EQUAL 0 OR NOT replies MATCHES "^READY\n10000\n2000\n2300\n")
    message(FATAL_ERROR "A default calculation with kolvex-console from the package fails (${result}):\n"
                        "${replies}\n${messages}")
endif()
string(REGEX MATCH "^READY\n10000\n2000\n2300\n([^\n]*)\n$" found "${replies}")
set(total "${CMAKE_MATCH_1}")
string(REPLACE ";" "\n" totalLines "${total}")
string(REGEX MATCHALL "\n" separators "${totalLines}\n")
list(LENGTH separators count)
if(NOT found OR NOT count EQUAL 10000 OR NOT total MATCHES "[1-9]")
    string(SUBSTRING "${replies}" 0 300 start)
    message(FATAL_ERROR "The total of the default calculation holds ${count} values, not 10000 with some above "
                        "zero: ${start}...")
endif()
if(NOT EXISTS "${data}/TIPS/q1.txt")
    message(FATAL_ERROR "The console of the package did not install the shipped partition sums into ${data}")
endif()
message(STATUS "Package ${package} checked")
