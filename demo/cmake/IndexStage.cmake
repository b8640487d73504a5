# The game between the two data stages: the old version with the new
# version's index-only files (".i" files without a pack data file beside
# them), which an index-only ".tre" package brings. The ".upd" package that
# follows carries everything else.
#
#   cmake -DOLD=<tree> -DNEW=<tree> -DOUTPUT=<folder> -P IndexStage.cmake

foreach(var OLD NEW OUTPUT)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "IndexStage.cmake needs -D${var}=...")
    endif()
    get_filename_component(${var} "${${var}}" ABSOLUTE)
endforeach()

# True when `relative` names an index file of `tree` with no data file beside it.
function(index_only tree relative result)
    set(${result} FALSE PARENT_SCOPE)
    if(relative MATCHES "\\.i$" AND NOT IS_DIRECTORY "${tree}/${relative}")
        string(REGEX REPLACE "\\.i$" "" data "${relative}")
        if(NOT EXISTS "${tree}/${data}")
            set(${result} TRUE PARENT_SCOPE)
        endif()
    endif()
endfunction()

file(REMOVE_RECURSE "${OUTPUT}")
get_filename_component(parent "${OUTPUT}" DIRECTORY)
file(MAKE_DIRECTORY "${parent}")
execute_process(COMMAND ${CMAKE_COMMAND} -E copy_directory "${OLD}" "${OUTPUT}" RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cannot copy ${OLD}")
endif()

file(GLOB_RECURSE old_files RELATIVE "${OLD}" "${OLD}/*")
foreach(relative IN LISTS old_files)
    index_only("${OLD}" "${relative}" old_index)
    if(old_index AND NOT EXISTS "${NEW}/${relative}")
        file(REMOVE "${OUTPUT}/${relative}")
    endif()
endforeach()
file(GLOB_RECURSE new_files RELATIVE "${NEW}" "${NEW}/*")
foreach(relative IN LISTS new_files)
    index_only("${NEW}" "${relative}" new_index)
    if(new_index)
        get_filename_component(folder "${OUTPUT}/${relative}" DIRECTORY)
        file(MAKE_DIRECTORY "${folder}")
        file(COPY_FILE "${NEW}/${relative}" "${OUTPUT}/${relative}")
    endif()
endforeach()
