# Compiler settings and helpers shared by every target.

add_compile_options(-Wall -Wextra -Werror)
# QT_NO_KEYWORDS: GLib headers use "signals" as a name; write Q_SIGNALS, Q_SLOTS, Q_EMIT.
add_compile_definitions(QT_NO_KEYWORDS QT_NO_CAST_FROM_BYTEARRAY QT_NO_URL_CAST_FROM_STRING)

if(TESSERA_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
                        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
    # clang 14 cannot emit coroutines instrumented by the function check ("Cannot represent a
    # difference across sections").
    if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        add_compile_options(-fno-sanitize=function)
    endif()
endif()

if(TESSERA_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "TESSERA_FUZZ needs clang")
    endif()
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# The repository root is the include root: #include "core/naming/Naming.h".
set(TESSERA_INCLUDE_ROOT "${PROJECT_SOURCE_DIR}")

# tessera_add_library(NAME [SOURCES ...] LIBS ...): one static library per subsystem. Without
# SOURCES it takes every .cpp and .h in the calling folder.
function(tessera_add_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    if(NOT ARG_SOURCES)
        file(GLOB ARG_SOURCES CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp"
             "${CMAKE_CURRENT_SOURCE_DIR}/*.h")
    endif()
    add_library(${name} STATIC ${ARG_SOURCES})
    set_target_properties(${name} PROPERTIES LINKER_LANGUAGE CXX)
    target_include_directories(${name} PUBLIC "${TESSERA_INCLUDE_ROOT}" "${PROJECT_BINARY_DIR}/generated")
    target_link_libraries(${name} PUBLIC ${ARG_LIBS})
endfunction()

# tessera_add_folder_tests(LIBS ... [LABELS ...]): every *Test.cpp in the calling folder becomes one
# Qt Test executable, and every fuzz_*.cpp a libFuzzer target (seeds from seeds/<name>/ when present).
function(tessera_add_folder_tests)
    cmake_parse_arguments(ARG "" "" "LIBS;LABELS" ${ARGN})
    file(GLOB tests CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*Test.cpp")
    foreach(source ${tests})
        get_filename_component(stem "${source}" NAME_WE)
        tessera_add_test(${stem} SOURCES "${source}" LIBS ${ARG_LIBS} LABELS ${ARG_LABELS})
    endforeach()
    file(GLOB fuzzers CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/fuzz_*.cpp")
    foreach(source ${fuzzers})
        get_filename_component(stem "${source}" NAME_WE)
        set(seeds)
        if(IS_DIRECTORY "${CMAKE_CURRENT_SOURCE_DIR}/seeds/${stem}")
            set(seeds "${CMAKE_CURRENT_SOURCE_DIR}/seeds/${stem}")
        endif()
        tessera_add_fuzzer(${stem} SOURCES "${source}" LIBS ${ARG_LIBS} SEEDS ${seeds})
    endforeach()
endfunction()

# tessera_add_test(NAME SOURCES ... LIBS ... [LABELS ...] [TIMEOUT s]): one Qt Test executable.
function(tessera_add_test name)
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE Qt6::Test ${ARG_LIBS})
    target_include_directories(${name} PRIVATE "${TESSERA_INCLUDE_ROOT}")
    add_test(NAME ${name} COMMAND ${name})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 300)
    endif()
    set_tests_properties(${name} PROPERTIES
        LABELS "${ARG_LABELS}"
        TIMEOUT ${ARG_TIMEOUT}
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;TESSERA_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
endfunction()

# tessera_add_fuzzer(NAME SOURCES ... LIBS ... [SEEDS dir...] [SECONDS s]): a libFuzzer target, built only with
# TESSERA_FUZZ, and a ctest entry that runs it for a short, bounded time.
function(tessera_add_fuzzer name)
    cmake_parse_arguments(ARG "" "SECONDS" "SOURCES;LIBS;SEEDS" ${ARGN})
    if(NOT TESSERA_FUZZ)
        return()
    endif()
    if(NOT ARG_SECONDS)
        set(ARG_SECONDS 20)
    endif()
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS})
    target_include_directories(${name} PRIVATE "${TESSERA_INCLUDE_ROOT}")
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    # The working corpus lives in the build folder; SEEDS (in the source tree) is read, never written.
    set(corpus "${CMAKE_CURRENT_BINARY_DIR}/${name}-corpus")
    file(MAKE_DIRECTORY "${corpus}")
    add_test(NAME ${name}
             COMMAND $<TARGET_FILE:${name}> -max_total_time=${ARG_SECONDS} -rss_limit_mb=2048
                     -timeout=10 -print_final_stats=1 "${corpus}" ${ARG_SEEDS})
    set_tests_properties(${name} PROPERTIES LABELS fuzz TIMEOUT 600)
endfunction()
