# Assembles one release of the launcher's own files as players have them:
#
#   cmake -DLAUNCHER=<built launcher> -DRELEASE=<version> -DOUTPUT=<folder>
#         -DOBJCOPY=<objcopy> [-DLIBRARY=<LiveUpdate.so>] [-DWEBVIEW=<WebView.so>]
#         -P LauncherTree.cmake
#
# The launcher is shipped without its debug information (keep the build's
# unstripped binary to read players' crash dumps: both carry the same build
# id) and with its release in the section ".tarno.release", which
# `readelf -p .tarno.release launcher` prints. Two releases built from the
# same sources therefore differ, as a rebuilt launcher does.

foreach(var LAUNCHER RELEASE OUTPUT OBJCOPY)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "LauncherTree.cmake needs -D${var}=...")
    endif()
endforeach()

file(REMOVE_RECURSE "${OUTPUT}")
file(MAKE_DIRECTORY "${OUTPUT}")
set(note "${OUTPUT}.release")
file(WRITE "${note}" "tarno launcher ${RELEASE}\n")
execute_process(
    COMMAND "${OBJCOPY}" --strip-debug --add-section ".tarno.release=${note}"
            --set-section-flags .tarno.release=noload,readonly "${LAUNCHER}" "${OUTPUT}/launcher"
    RESULT_VARIABLE result)
file(REMOVE "${note}")
if(NOT result EQUAL 0)
    message(FATAL_ERROR "objcopy could not make the launcher of release ${RELEASE}")
endif()
if(DEFINED LIBRARY AND NOT LIBRARY STREQUAL "")
    file(COPY_FILE "${LIBRARY}" "${OUTPUT}/LiveUpdate.so")
endif()
if(DEFINED WEBVIEW AND NOT WEBVIEW STREQUAL "")
    file(COPY_FILE "${WEBVIEW}" "${OUTPUT}/WebView.so")
endif()
