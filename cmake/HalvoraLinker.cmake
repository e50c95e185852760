# Link options that GNU ld and the linkers that follow it (gold, lld) understand and others,
# Apple's among them, do not. Each is tried once against the linker in use; where it is
# refused, the binaries are linked without it (their exports are then not trimmed).
include (CheckLinkerFlag)

set (halvora_probe_script "${CMAKE_BINARY_DIR}/CMakeFiles/halvora-linker-probe.map")
file (WRITE "${halvora_probe_script}" "{ global: main; local: *; };\n")
set (halvora_probe_list "${CMAKE_BINARY_DIR}/CMakeFiles/halvora-linker-probe.list")
file (WRITE "${halvora_probe_list}" "{ main; };\n")

check_linker_flag (CXX "-Wl,--version-script=${halvora_probe_script}" HALVORA_LINKER_VERSION_SCRIPT)
check_linker_flag (CXX "-Wl,--no-undefined" HALVORA_LINKER_NO_UNDEFINED)
check_linker_flag (CXX "-Wl,--dynamic-list=${halvora_probe_list}" HALVORA_LINKER_DYNAMIC_LIST)
check_linker_flag (CXX "-Wl,-z,relro,-z,now" HALVORA_LINKER_RELRO_NOW)
check_linker_flag (CXX "-Wl,-z,undefs" HALVORA_LINKER_Z_UNDEFS)

# halvora_exports_only (<target> <version script>): a plug-in library that shows the host
# only the entry points the script names, and that links only when every symbol it uses is
# defined, so a missing one fails the build rather than the host's load.
function (halvora_exports_only target script)
    if (HALVORA_LINKER_VERSION_SCRIPT)
        target_link_options (${target} PRIVATE "-Wl,--version-script=${script}")
    endif()

    if (HALVORA_LINKER_NO_UNDEFINED)
        target_link_options (${target} PRIVATE "-Wl,--no-undefined")
    endif()
endfunction()
