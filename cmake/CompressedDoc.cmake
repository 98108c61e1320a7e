# A document gzip-compressed as Debian wants it (no name or time inside, so the package builds the same every time):
# a copy of SOURCE in the current binary folder, compressed; its path is set in OUTPUT_VARIABLE.
function(quillbox_compressed_doc source output_variable)
    get_filename_component(name ${source} NAME)
    set(copy ${CMAKE_CURRENT_BINARY_DIR}/${name})
    add_custom_command(
        OUTPUT ${copy}.gz
        COMMAND ${CMAKE_COMMAND} -E copy ${source} ${copy}
        COMMAND gzip -9nf ${copy}
        DEPENDS ${source}
        COMMENT "Compressing ${name}"
        VERBATIM)
    set(${output_variable} ${copy}.gz PARENT_SCOPE)
endfunction()
