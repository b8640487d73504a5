# Assembles one version of the demo game as players have it, from its source
# tree in demo/game/<version>:
#
#   cmake -DSOURCE=<tree> -DOUTPUT=<folder> -DPACKTOOL=<packtool> -P GameTree.cmake
#
# Files are copied as they are. A folder "<name>.blobs" stands for a pack:
# its files, in name order, are the pack's blobs, written by `packtool
# create` into <name> (pack data) and <name>.i (its index), or only into
# <name> with `--index-only` when <name> itself ends in ".i". A blob file
# "<name>.noise" holding "<bytes> <seed>" stands for that many bytes of
# recorded sound and is generated here (deterministic for a seed), so large
# blobs need not be committed.
#
# The packs keep their blobs back to back. Between two versions a blob keeps
# its size or is appended, as the launcher's merge does in place, so the
# merged pack on a player's disk equals the next version's byte for byte.

foreach(var SOURCE OUTPUT PACKTOOL)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "GameTree.cmake needs -D${var}=...")
    endif()
    get_filename_component(${var} "${${var}}" ABSOLUTE)
endforeach()

file(REMOVE_RECURSE "${OUTPUT}" "${OUTPUT}.blobs")
file(MAKE_DIRECTORY "${OUTPUT}")

# Plain files and folders, without the pack sources.
file(GLOB_RECURSE entries LIST_DIRECTORIES true RELATIVE "${SOURCE}" "${SOURCE}/*")
list(SORT entries)
set(packs)
foreach(entry IN LISTS entries)
    if(entry MATCHES "^(.*/)?[^/]+\\.blobs(/.*)?$")
        if(entry MATCHES "\\.blobs$")
            list(APPEND packs "${entry}")
        endif()
    elseif(IS_DIRECTORY "${SOURCE}/${entry}")
        file(MAKE_DIRECTORY "${OUTPUT}/${entry}")
    else()
        get_filename_component(folder "${OUTPUT}/${entry}" DIRECTORY)
        file(COPY "${SOURCE}/${entry}" DESTINATION "${folder}")
    endif()
endforeach()

set(noise_alphabet "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ+/")
foreach(pack IN LISTS packs)
    string(REGEX REPLACE "\\.blobs$" "" target "${pack}")
    file(GLOB blob_names RELATIVE "${SOURCE}/${pack}" "${SOURCE}/${pack}/*")
    list(SORT blob_names)
    set(blobs)
    foreach(name IN LISTS blob_names)
        set(blob "${SOURCE}/${pack}/${name}")
        if(name MATCHES "\\.noise$")
            file(READ "${blob}" noiseRecipe)
            if(NOT noiseRecipe MATCHES "^([0-9]+) ([0-9]+)[ \t\r\n]*$")
                message(FATAL_ERROR "${blob}: write \"<bytes> <seed>\"")
            endif()
            string(RANDOM LENGTH ${CMAKE_MATCH_1} ALPHABET "${noise_alphabet}" RANDOM_SEED ${CMAKE_MATCH_2} noise)
            set(blob "${OUTPUT}.blobs/${pack}/${name}")
            file(WRITE "${blob}" "${noise}")
        endif()
        list(APPEND blobs "${blob}")
    endforeach()
    if(NOT blobs)
        message(FATAL_ERROR "${SOURCE}/${pack} holds no blobs")
    endif()
    set(mode)
    if(target MATCHES "\\.i$")
        set(mode --index-only)
    endif()
    get_filename_component(folder "${OUTPUT}/${target}" DIRECTORY)
    file(MAKE_DIRECTORY "${folder}")
    execute_process(COMMAND "${PACKTOOL}" create ${mode} "${OUTPUT}/${target}" ${blobs}
                    RESULT_VARIABLE result OUTPUT_QUIET)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "packtool create ${target} failed (${result})")
    endif()
endforeach()
file(REMOVE_RECURSE "${OUTPUT}.blobs")
