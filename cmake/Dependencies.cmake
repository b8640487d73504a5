# All dependencies come from Debian packages (scripts/install-deps); nothing
# is vendored or downloaded at build time.
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
find_package(ZLIB REQUIRED)
find_package(CURL REQUIRED)
# libcrypto hashes package bytes (libcurl already brings it into the process).
find_package(OpenSSL REQUIRED COMPONENTS Crypto)
find_package(pugixml REQUIRED)
pkg_check_modules(MINIZIP REQUIRED IMPORTED_TARGET minizip)
pkg_check_modules(SODIUM REQUIRED IMPORTED_TARGET libsodium)
# zstd makes and applies the binary deltas of changed files in packages.
pkg_check_modules(ZSTD REQUIRED IMPORTED_TARGET libzstd)
# wx's CMake module hands out flags and paths, not a target; wrap them once
# per set of components. Only the web view module links wx's web view (and
# with it WebKitGTK); everything else links wx_all.
find_package(wxWidgets 3.2 REQUIRED COMPONENTS core net xml base)
add_library(wx_all INTERFACE)
target_include_directories(wx_all SYSTEM INTERFACE ${wxWidgets_INCLUDE_DIRS})
target_compile_definitions(wx_all INTERFACE ${wxWidgets_DEFINITIONS})
separate_arguments(_wx_cxx_flags UNIX_COMMAND "${wxWidgets_CXX_FLAGS}")
target_compile_options(wx_all INTERFACE ${_wx_cxx_flags})
target_link_libraries(wx_all INTERFACE ${wxWidgets_LIBRARIES})
find_package(wxWidgets 3.2 REQUIRED COMPONENTS webview core base)
add_library(wx_webview INTERFACE)
target_link_libraries(wx_webview INTERFACE wx_all ${wxWidgets_LIBRARIES})

if(LAUNCHER_BUILD_TESTS)
    find_package(GTest REQUIRED)
endif()
if(LAUNCHER_BUILD_BENCH)
    find_package(benchmark REQUIRED)
endif()
