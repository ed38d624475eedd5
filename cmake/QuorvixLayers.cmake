# One static library per layer. A layer sees only its own folders and those of the
# layers below it: its include path is a folder of links to exactly those source
# folders, so an include of a higher layer's header fails to build.
#
#   quorvix_layer(<target> FOLDERS <source folders...> [BELOW <lower layer targets...>])
function(quorvix_layer target)
    cmake_parse_arguments(LAYER "" "" "FOLDERS;BELOW" ${ARGN})
    set(folders ${LAYER_FOLDERS})
    foreach(lower IN LISTS LAYER_BELOW)
        get_target_property(lower_folders ${lower} QUORVIX_LAYER_FOLDERS)
        list(APPEND folders ${lower_folders})
    endforeach()
    list(REMOVE_DUPLICATES folders)

    set(view ${CMAKE_BINARY_DIR}/layer_views/${target})
    file(REMOVE_RECURSE ${view})
    foreach(folder IN LISTS folders)
        get_filename_component(parent ${view}/${folder} DIRECTORY)
        file(MAKE_DIRECTORY ${parent})
        file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${view}/${folder} SYMBOLIC)
    endforeach()

    add_library(${target} STATIC)
    set_target_properties(${target} PROPERTIES QUORVIX_LAYER_FOLDERS "${folders}")
    target_include_directories(${target} PRIVATE ${view})
    target_link_libraries(${target} PUBLIC ${LAYER_BELOW} Threads::Threads)
endfunction()
