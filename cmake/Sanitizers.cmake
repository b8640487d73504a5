if(LAUNCHER_SANITIZE STREQUAL "address")
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    # GCC 12's flow analysis under ASan reports uninitialised reads inside
    # libstdc++ (std::regex) that are not there; keep -Werror usable.
    add_compile_options(-Wno-maybe-uninitialized)
    add_link_options(-fsanitize=address,undefined)
elseif(LAUNCHER_SANITIZE STREQUAL "thread")
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
    set(LAUNCHER_TEST_ENVIRONMENT "TSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/cmake/tsan.supp halt_on_error=1")
elseif(NOT LAUNCHER_SANITIZE STREQUAL "")
    message(FATAL_ERROR "LAUNCHER_SANITIZE must be '', 'address' or 'thread'")
endif()
