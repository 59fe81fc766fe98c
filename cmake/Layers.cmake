# vyr_layer(<target> SOURCES <files...> HEADERS <files...> [LINK <targets...>])
#
# A library of one layer. Paths are relative to src/FirmwareUpdater and are included by
# those paths ("Common/VYRController.h"). The target is compiled from a staged tree of
# links that holds only its own files, and that tree is all it exposes: a file can include
# its own layer's headers and those of the targets it links, nothing else. Because several
# layers share the folder Common/, staging is what makes an include of a higher-layer
# neighbour in the same folder fail to compile.
function(vyr_layer target)
    cmake_parse_arguments(ARG "" "" "SOURCES;HEADERS;LINK" ${ARGN})
    set(root ${PROJECT_SOURCE_DIR}/src/FirmwareUpdater)
    set(stage ${PROJECT_BINARY_DIR}/layers/${target})
    file(REMOVE_RECURSE ${stage})
    set(staged_sources)
    foreach(file IN LISTS ARG_SOURCES ARG_HEADERS)
        if(NOT EXISTS ${root}/${file})
            message(FATAL_ERROR "${target}: no such file ${root}/${file}")
        endif()
        get_filename_component(folder ${stage}/${file} DIRECTORY)
        file(MAKE_DIRECTORY ${folder})
        file(CREATE_LINK ${root}/${file} ${stage}/${file} SYMBOLIC)
    endforeach()
    foreach(file IN LISTS ARG_SOURCES)
        list(APPEND staged_sources ${stage}/${file})
    endforeach()
    # Editing a file re-runs nothing: the links point at the sources. Adding one to the
    # lists above re-runs CMake, which restages.
    if(staged_sources)
        add_library(${target} ${staged_sources})
        set(scope PUBLIC)
    else()
        add_library(${target} INTERFACE)
        set(scope INTERFACE)
    endif()
    string(REPLACE "vyr_" "vyr::" alias ${target})
    add_library(${alias} ALIAS ${target})
    target_include_directories(${target} ${scope} ${stage})
    if(ARG_LINK)
        target_link_libraries(${target} ${scope} ${ARG_LINK})
    endif()
    if(staged_sources)
        target_link_libraries(${target} PRIVATE vyr::warnings)
    endif()
endfunction()
