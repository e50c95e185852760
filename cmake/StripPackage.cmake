# CPack runs this on the staged package before it is archived: every ELF file loses its
# symbols and the .comment and .note sections, as Debian's own packages are stripped
# (the build folder keeps its unstripped binaries).
find_program (HALVORA_STRIP strip REQUIRED)

file (GLOB_RECURSE staged LIST_DIRECTORIES FALSE "${CPACK_TEMPORARY_DIRECTORY}/*")

foreach (file IN LISTS staged)
    if (IS_SYMLINK "${file}")
        continue()
    endif()

    file (READ "${file}" magic LIMIT 4 HEX)

    if (magic STREQUAL "7f454c46")
        execute_process (COMMAND "${HALVORA_STRIP}" --strip-unneeded --remove-section=.comment --remove-section=.note "${file}"
                         RESULT_VARIABLE failed)
        if (failed)
            message (FATAL_ERROR "cannot strip ${file}")
        endif()
    endif()
endforeach()
