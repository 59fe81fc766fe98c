# vyr_gzipped(<file> <variable>): compresses <file> at build time, as Debian wants man pages
# and changelogs (gzip -9n: the same bytes on every build), and puts the result's path in
# <variable> for install().
function(vyr_gzipped file variable)
    get_filename_component(name ${file} NAME)
    set(gzipped ${PROJECT_BINARY_DIR}/gzipped/${name}.gz)
    add_custom_command(
        OUTPUT ${gzipped}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/gzipped
        COMMAND gzip -9nc ${file} > ${gzipped}
        DEPENDS ${file}
        COMMENT "Compressing ${name}")
    string(MAKE_C_IDENTIFIER "vyr_gzip_${name}" target)
    add_custom_target(${target} ALL DEPENDS ${gzipped})
    set(${variable} ${gzipped} PARENT_SCOPE)
endfunction()

# vyr_man_page(<name> <variable>): man/<name>.1 with the project's version in its footer,
# compressed as vyr_gzipped does.
function(vyr_man_page name variable)
    configure_file(${PROJECT_SOURCE_DIR}/man/${name}.1 ${PROJECT_BINARY_DIR}/man/${name}.1 @ONLY)
    vyr_gzipped(${PROJECT_BINARY_DIR}/man/${name}.1 gzipped)
    set(${variable} ${gzipped} PARENT_SCOPE)
endfunction()
