# vyr_layer(<target> SOURCES <files...> HEADERS <files...> [LINK <targets...>])
#
# A library of one layer. Paths are relative to src/FirmwareUpdater and are included by
# those paths ("Common/VYRController.h"). A file may include its own layer's headers and
# those of the layers its target links, directly or through them, nothing else: before the
# target compiles, cmake/CheckIncludes.cmake reads its files' includes and fails the build
# naming the file, the include and the rule. Several layers share the folder Common/, so the
# folders alone could not say it.
function(vyr_layer target)
    cmake_parse_arguments(ARG "" "" "SOURCES;HEADERS;LINK" ${ARGN})
    set(root ${PROJECT_SOURCE_DIR}/src/FirmwareUpdater)
    foreach(file IN LISTS ARG_SOURCES ARG_HEADERS)
        if(NOT EXISTS ${root}/${file})
            message(FATAL_ERROR "${target}: no such file ${root}/${file}")
        endif()
    endforeach()

    # What the target may include: its own headers and those of every layer below it.
    vyr_layers_below(${target} "${ARG_LINK}" below)
    set_property(GLOBAL PROPERTY VYR_LAYER_${target}_HEADERS "${ARG_HEADERS}")
    set_property(GLOBAL APPEND PROPERTY VYR_LAYERS ${target})

    list(TRANSFORM ARG_SOURCES PREPEND ${root}/ OUTPUT_VARIABLE sources)
    if(sources)
        add_library(${target} ${sources})
        set(scope PUBLIC)
    else()
        add_library(${target} INTERFACE)
        set(scope INTERFACE)
    endif()
    string(REPLACE "vyr_" "vyr::" alias ${target})
    add_library(${alias} ALIAS ${target})
    target_include_directories(${target} ${scope} ${root})
    if(ARG_LINK)
        target_link_libraries(${target} ${scope} ${ARG_LINK})
    endif()
    if(sources)
        target_link_libraries(${target} PRIVATE vyr::warnings)
        list(TRANSFORM ARG_HEADERS PREPEND ${root}/ OUTPUT_VARIABLE headers)
        vyr_check_includes(${target} "${sources};${headers}" "${ARG_HEADERS}" "${below}" OFF)
    endif()
endfunction()

# The layers under a target that links links (directly or through them), into outVar; kept
# for the targets that link this one.
function(vyr_layers_below target links outVar)
    set(below)
    foreach(link IN LISTS links)
        string(REPLACE "vyr::" "vyr_" link "${link}")
        get_property(declared GLOBAL PROPERTY VYR_LAYER_${link}_BELOW SET)
        if(declared)
            get_property(under GLOBAL PROPERTY VYR_LAYER_${link}_BELOW)
            list(APPEND below ${link} ${under})
        endif()
    endforeach()
    list(REMOVE_DUPLICATES below)
    set_property(GLOBAL PROPERTY VYR_LAYER_${target}_BELOW "${below}")
    set(${outVar} "${below}" PARENT_SCOPE)
endfunction()

# vyr_layer_user(<target>): the same check for a target that is no layer (a front-end, a
# program, a tool), called once its links are set: it may include the headers of the layers
# it links and its own, those beside the including file.
function(vyr_layer_user target)
    get_target_property(links ${target} LINK_LIBRARIES)
    vyr_layers_below(${target} "${links}" below)
    get_target_property(sources ${target} SOURCES)
    get_target_property(folder ${target} SOURCE_DIR)
    list(FILTER sources INCLUDE REGEX "\\.(cpp|h)$")
    list(TRANSFORM sources PREPEND ${folder}/ REGEX "^[^/]")
    vyr_check_includes(${target} "${sources}" "" "${below}" ON)
endfunction()

# The build step that checks a target's includes (see cmake/CheckIncludes.cmake) before it
# compiles: files are absolute paths. Its rules are written once every layer is declared.
function(vyr_check_includes target files own below beside_is_own)
    foreach(name IN ITEMS files own below beside_is_own)
        set_property(GLOBAL PROPERTY VYR_CHECK_${target}_${name} "${${name}}")
    endforeach()
    set(rules ${PROJECT_BINARY_DIR}/includes/${target}.cmake)
    get_property(checked GLOBAL PROPERTY VYR_CHECKED_TARGETS)
    if(NOT checked)
        cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL vyr_write_include_rules)
    endif()
    set_property(GLOBAL APPEND PROPERTY VYR_CHECKED_TARGETS ${target})
    set(stamp ${PROJECT_BINARY_DIR}/includes/${target}.stamp)
    add_custom_command(OUTPUT ${stamp}
        COMMAND ${CMAKE_COMMAND} -DRULES=${rules} -DSTAMP=${stamp}
                -P ${PROJECT_SOURCE_DIR}/cmake/CheckIncludes.cmake
        DEPENDS ${files} ${rules} ${PROJECT_SOURCE_DIR}/cmake/CheckIncludes.cmake
        COMMENT "Checking the includes of ${target}")
    target_sources(${target} PRIVATE ${stamp})
endfunction()

function(vyr_write_include_rules)
    get_property(targets GLOBAL PROPERTY VYR_CHECKED_TARGETS)
    foreach(target IN LISTS targets)
        foreach(name IN ITEMS files own below beside_is_own)
            get_property(${name} GLOBAL PROPERTY VYR_CHECK_${target}_${name})
        endforeach()
        set(root ${PROJECT_SOURCE_DIR}/src/FirmwareUpdater)
        set(allowed ${own})
        set(forbidden)
        get_property(layers GLOBAL PROPERTY VYR_LAYERS)
        foreach(layer IN LISTS layers)
            get_property(headers GLOBAL PROPERTY VYR_LAYER_${layer}_HEADERS)
            if(layer IN_LIST below)
                list(APPEND allowed ${headers})
            elseif(NOT layer STREQUAL target)
                foreach(header IN LISTS headers)
                    list(APPEND forbidden "${header}=${layer}")
                endforeach()
            endif()
        endforeach()
        string(REPLACE ";" " " links "${below}")
        file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/includes/${target}.cmake CONTENT [[
set(target "@target@")
set(root "@root@")
set(links "@links@")
set(files "@files@")
set(allowed "@allowed@")
set(forbidden "@forbidden@")
set(beside_is_own @beside_is_own@)
]] @ONLY)
    endforeach()
endfunction()
