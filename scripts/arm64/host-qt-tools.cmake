# Included after project() when cross-compiling: Qt's build-time tools are the
# build machine's own, defined before find_package(Qt5) so that Qt's package
# files keep them instead of the target's binaries.
foreach(tool moc rcc uic qdbuscpp2xml qdbusxml2cpp)
    if(NOT TARGET Qt5::${tool})
        find_program(KOLVEX_HOST_${tool} ${tool} PATHS /usr/lib/qt5/bin NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
        if(NOT KOLVEX_HOST_${tool})
            message(FATAL_ERROR "The build machine's Qt tool ${tool} is missing (Debian's qtbase5-dev-tools)")
        endif()
        add_executable(Qt5::${tool} IMPORTED GLOBAL)
        set_target_properties(Qt5::${tool} PROPERTIES IMPORTED_LOCATION "${KOLVEX_HOST_${tool}}")
    endif()
endforeach()
