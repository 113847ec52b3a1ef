# Builds the fuzz targets of tests/fuzz/ with clang in a build tree of their
# own (<build>/fuzz) and runs each from its seed corpus tests/fuzz/corpus/<name>
# for ZEQ_FUZZ_SECONDS as the CTest test fuzz.<name>. A new target is a new
# file tests/fuzz/<name>_fuzz.cpp and its corpus directory; nothing else.
option(ZEQ_FUZZ "Build and run the libFuzzer targets (needs clang)" ON)
set(ZEQ_FUZZ_SECONDS 20 CACHE STRING "Seconds each fuzz target runs in the tests")
include(ProcessorCount)
ProcessorCount(fuzz_cores)
if(fuzz_cores EQUAL 0)
    set(fuzz_cores 2)
endif()
set(ZEQ_FUZZ_JOBS ${fuzz_cores} CACHE STRING "Parallel jobs of the fuzz targets' build")

if(ZEQ_FUZZ)
    file(GLOB fuzz_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/fuzz/*_fuzz.cpp)
    set(fuzz_dir ${CMAKE_BINARY_DIR}/fuzz)
    find_program(ZEQ_CLANGXX clang++)
    find_program(ZEQ_CLANG clang)
    if(ZEQ_CLANGXX AND ZEQ_CLANG)
        include(ExternalProject)
        set(fuzz_args
            -DCMAKE_C_COMPILER=${ZEQ_CLANG} -DCMAKE_CXX_COMPILER=${ZEQ_CLANGXX} -DCMAKE_BUILD_TYPE=RelWithDebInfo
            -DZEQ_SOURCE_DIR=${CMAKE_SOURCE_DIR} -DZEQ_BUILD_DATA_DIR=${ZEQ_BUILD_DATA_DIR})
        if(CMAKE_CXX_COMPILER_LAUNCHER)
            list(APPEND fuzz_args -DCMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER}
                 -DCMAKE_C_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER})
        endif()
        ExternalProject_Add(fuzz_targets
            SOURCE_DIR ${CMAKE_SOURCE_DIR}/tests/fuzz
            BINARY_DIR ${fuzz_dir}
            CMAKE_ARGS ${fuzz_args}
            BUILD_COMMAND bash ${CMAKE_SOURCE_DIR}/tests/fuzz/build_fuzz.sh ${fuzz_dir} ${ZEQ_FUZZ_JOBS}
            INSTALL_COMMAND ""
            BUILD_ALWAYS ON
            USES_TERMINAL_BUILD OFF)
    endif()
    foreach(src IN LISTS fuzz_sources)
        get_filename_component(target ${src} NAME_WE)
        string(REGEX REPLACE "_fuzz$" "" name ${target})
        add_test(NAME fuzz.${name}
                 COMMAND bash ${CMAKE_SOURCE_DIR}/tests/fuzz/run_fuzz.sh ${fuzz_dir}/${target}
                         ${CMAKE_SOURCE_DIR}/tests/fuzz/corpus/${name} ${ZEQ_FUZZ_SECONDS}
                         ${fuzz_dir}/artifacts/${name})
        math(EXPR fuzz_timeout "${ZEQ_FUZZ_SECONDS} + 240")
        set_tests_properties(fuzz.${name} PROPERTIES TIMEOUT ${fuzz_timeout} ENVIRONMENT "${ZEQ_TEST_ENV}")
    endforeach()
endif()
