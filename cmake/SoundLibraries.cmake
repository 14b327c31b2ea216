# The sound libraries of the software chips' output: libsoxr (resampling) and
# libsndfile (sound files), as the targets tonrig_soxr and tonrig_sndfile.
# Linux takes Debian's packages through pkg-config. Debian builds them for
# Linux only, so a Windows build makes them first, as static mingw-w64
# libraries from Debian's source packages (tools/windows-libraries, which
# does nothing once they are made), and links them into the programs: no
# DLL beyond the system's is needed beside them.
add_library(tonrig_soxr INTERFACE)
add_library(tonrig_sndfile INTERFACE)
if(WIN32)
    set(windows_libraries ${PROJECT_BINARY_DIR}/libs/prefix)
    execute_process(
        COMMAND bash ${PROJECT_SOURCE_DIR}/tools/windows-libraries ${PROJECT_BINARY_DIR}
        RESULT_VARIABLE windows_libraries_result)
    if(NOT windows_libraries_result EQUAL 0)
        message(FATAL_ERROR "tools/windows-libraries could not build libsoxr and libsndfile")
    endif()
    target_include_directories(tonrig_soxr SYSTEM INTERFACE ${windows_libraries}/include)
    target_link_libraries(tonrig_soxr INTERFACE ${windows_libraries}/lib/libsoxr.a)
    target_include_directories(tonrig_sndfile SYSTEM INTERFACE ${windows_libraries}/include)
    target_link_libraries(tonrig_sndfile INTERFACE ${windows_libraries}/lib/libsndfile.a)
else()
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(SOXR REQUIRED IMPORTED_TARGET soxr)
    pkg_check_modules(SNDFILE REQUIRED IMPORTED_TARGET sndfile)
    target_link_libraries(tonrig_soxr INTERFACE PkgConfig::SOXR)
    target_link_libraries(tonrig_sndfile INTERFACE PkgConfig::SNDFILE)
endif()
