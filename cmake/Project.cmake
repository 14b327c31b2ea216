# Build helpers shared by every folder: warnings for our own targets, the
# sanitizer switch and the GoogleTest registration.

include(GNUInstallDirs)

if(TONRIG_SANITIZE STREQUAL "address")
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
elseif(TONRIG_SANITIZE STREQUAL "thread")
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
elseif(NOT TONRIG_SANITIZE STREQUAL "")
    message(FATAL_ERROR "TONRIG_SANITIZE must be empty, address or thread")
endif()

# Windows deliverables carry the C++ runtime inside them: no DLL besides the
# system's and TAVRO.DLL is needed beside them.
if(MINGW)
    add_link_options(-static)
endif()

# Our own code builds with every warning as an error.
function(tonrig_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()

# GoogleTest: Debian's build for native builds; for a cross build, built here
# from the sources Debian ships in /usr/src/googletest.
macro(tonrig_find_gtest)
    if(NOT CMAKE_CROSSCOMPILING)
        find_package(GTest REQUIRED)
    elseif(NOT TARGET GTest::gtest)
        set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
        set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
        add_subdirectory(/usr/src/googletest ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    endif()
endmacro()

# The GoogleTest and GoogleMock headers, compiled once for every test: they
# are most of each test file's compile time. Every test is compiled with
# -pthread, as the GTK and sound-server flags of some of them ask, so that one
# precompiled header fits all.
function(tonrig_test_pch)
    if(TARGET tonrig_test_pch)
        return()
    endif()
    set(source ${PROJECT_BINARY_DIR}/tonrig_test_pch.cpp)
    file(WRITE ${source} "int main() { return 0; }\n")
    add_executable(tonrig_test_pch EXCLUDE_FROM_ALL ${source})
    tonrig_warnings(tonrig_test_pch)
    target_compile_options(tonrig_test_pch PRIVATE -pthread)
    target_link_libraries(tonrig_test_pch PRIVATE GTest::gtest GTest::gmock)
    target_precompile_headers(tonrig_test_pch PRIVATE <gtest/gtest.h> <gmock/gmock.h>)
endfunction()

# tonrig_test(NAME [OWN_PCH] [REALTIME] SOURCES src... [ALONE src...] LIBS lib... [LABELS label...])
# One GoogleTest executable whose cases CTest runs one by one. Its SOURCES
# compile as one file (a unity build): most of a test file's time goes on what
# every file of the test includes and instantiates again. ALONE: sources
# compiled on their own, whose names at file scope would clash with another
# file's, or which GCC warns about only when inlined together with others.
# OWN_PCH: its
# libraries define macros for every file that uses them (the Win32 ones), so
# the shared precompiled header does not fit it and it compiles its own.
# REALTIME: its cases check timing against the wall clock (writes on time,
# sound heard when it was due, no underrun), so each runs with the machine to
# itself: beside another test on two cores, Wine's audio output and the
# player's wake-ups come late often enough to fail them.
# Under ThreadSanitizer no test uses the shared precompiled header: with one, GCC 12
# inlines std::string's concatenation differently at -O1 and reports array
# bounds it then cannot see (IniTextTest), which it does not without.
function(tonrig_test name)
    cmake_parse_arguments(T "OWN_PCH;REALTIME" "" "SOURCES;ALONE;LIBS;LABELS" ${ARGN})
    tonrig_find_gtest()
    add_executable(${name} ${T_SOURCES} ${T_ALONE})
    tonrig_warnings(${name})
    set_target_properties(${name} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 0)
    if(T_ALONE)
        set_source_files_properties(${T_ALONE} PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
    endif()
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
    target_compile_options(${name} PRIVATE -pthread)
    if(T_OWN_PCH)
        target_precompile_headers(${name} PRIVATE <gtest/gtest.h> <gmock/gmock.h>)
    elseif(NOT TONRIG_SANITIZE STREQUAL "thread")
        tonrig_test_pch()
        target_precompile_headers(${name} REUSE_FROM tonrig_test_pch)
    endif()
    include(GoogleTest)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
        PROPERTIES ENVIRONMENT "TONRIG_SHARED=${PROJECT_SOURCE_DIR}/../shared")
    # Labels are set after discovery: a list of them does not survive being
    # passed through the discovery properties.
    # Window tests look for their windows by title on one desktop, so no two
    # of them run at once.
    set(exclusive "")
    if("gui" IN_LIST T_LABELS)
        set(exclusive " RESOURCE_LOCK desktop")
    endif()
    if(T_REALTIME)
        string(APPEND exclusive " RUN_SERIAL TRUE")
    endif()
    set(label_script ${CMAKE_CURRENT_BINARY_DIR}/${name}_labels.cmake)
    file(WRITE ${label_script}
        "foreach(t IN LISTS ${name}_TESTS)\n"
        "  set_tests_properties(\"\${t}\" PROPERTIES LABELS \"${T_LABELS}\" TIMEOUT 300${exclusive})\n"
        "endforeach()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${label_script})
endfunction()

# Adds each named folder; a named folder without a CMakeLists.txt is an error.
macro(tonrig_subdirectories)
    foreach(dir ${ARGN})
        if(NOT EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
            message(FATAL_ERROR "${CMAKE_CURRENT_SOURCE_DIR}/${dir} has no CMakeLists.txt")
        endif()
        add_subdirectory(${dir})
    endforeach()
endmacro()

# tonrig_fuzzer(NAME SOURCES src... LIBS lib... [SECONDS n])
# A libFuzzer target, built only in a clang build with -DTONRIG_FUZZ=ON. Each
# one is also a CTest case (label "fuzz") that runs the fuzzer for a bounded
# time from an empty corpus.
function(tonrig_fuzzer name)
    if(NOT TONRIG_FUZZ)
        return()
    endif()
    cmake_parse_arguments(F "" "SECONDS" "SOURCES;LIBS" ${ARGN})
    if(NOT F_SECONDS)
        set(F_SECONDS 30)
    endif()
    add_executable(${name} ${F_SOURCES})
    tonrig_warnings(${name})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_libraries(${name} PRIVATE ${F_LIBS})
    add_dependencies(fuzzers ${name})
    add_test(NAME ${name} COMMAND ${name} -max_total_time=${F_SECONDS} -rss_limit_mb=1024)
    set_tests_properties(${name} PROPERTIES LABELS fuzz)
endfunction()
