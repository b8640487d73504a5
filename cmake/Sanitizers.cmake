# The sanitizer builds optimise at -O1 with line tables only: reports keep
# their file and line, and the instrumented code builds in about half the
# time of -O2 -g (the sanitizers' own advice for a usable speed, too).
if(LAUNCHER_SANITIZE STREQUAL "address" OR LAUNCHER_SANITIZE STREQUAL "thread")
    add_compile_options(-O1 -g1)
endif()
if(LAUNCHER_SANITIZE STREQUAL "address")
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
    set(LAUNCHER_TEST_ENVIRONMENT "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/cmake/lsan.supp")
elseif(LAUNCHER_SANITIZE STREQUAL "thread")
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
    set(LAUNCHER_TEST_ENVIRONMENT "TSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/cmake/tsan.supp halt_on_error=1")
elseif(LAUNCHER_SANITIZE STREQUAL "fuzzer")
    # clang only: every object is instrumented for coverage and checked by
    # ASan and UBSan; the fuzz targets alone link libFuzzer's main.
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "LAUNCHER_SANITIZE=fuzzer needs clang (scripts/fuzz sets it)")
    endif()
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
elseif(NOT LAUNCHER_SANITIZE STREQUAL "")
    message(FATAL_ERROR "LAUNCHER_SANITIZE must be '', 'address', 'thread' or 'fuzzer'")
endif()
