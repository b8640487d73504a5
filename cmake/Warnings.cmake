# Every target of the project gets the same warning set; CI turns them into errors.
add_library(project_warnings INTERFACE)
target_compile_options(project_warnings INTERFACE -Wall -Wextra -Wno-unused-parameter)
if(LAUNCHER_WERROR)
    target_compile_options(project_warnings INTERFACE -Werror)
endif()
