# Strict warnings on our own code only; JUCE's module sources keep their own flags. A
# warning in our code fails the build (HALVORA_WARNINGS_AS_ERRORS, on by default), so none
# passes unnoticed in a long build log.
#
#   halvora_own_warnings (<target>...)
#
# takes each target's source list as it was written once (its SOURCES property) and puts
# the warnings on every file of ours in it: not JUCE's, not generated ones. The targets
# that mix our files with JUCE's (the plug-in's shared code) are covered the same way.
set (HALVORA_WARNINGS -Wall -Wextra -Wshadow-all -Wshadow -Wstrict-aliasing -Wuninitialized -Wunused-parameter
                      -Wconversion -Wsign-compare -Wsign-conversion -Wunreachable-code -Wcast-align
                      -Wno-ignored-qualifiers -Woverloaded-virtual -Wreorder -Wzero-as-null-pointer-constant
                      -Wredundant-decls -Wnon-virtual-dtor -Wpedantic
                      # The wide vector paths pass vectors only between functions built for the
                      # same instruction set (each path's functions carry its target), so the
                      # calling-convention note clang gives for them marks no real boundary.
                      -Wno-psabi)
option (HALVORA_WARNINGS_AS_ERRORS "Fail the build on a warning in our own code" ON)
if (HALVORA_WARNINGS_AS_ERRORS)
    list (APPEND HALVORA_WARNINGS -Werror)
endif()

include (CheckCXXCompilerFlag)
set (HALVORA_OWN_WARNINGS "")
foreach (flag IN LISTS HALVORA_WARNINGS)
    string (MAKE_C_IDENTIFIER "HAS${flag}" var)
    check_cxx_compiler_flag ("${flag}" ${var})
    if (${var})
        list (APPEND HALVORA_OWN_WARNINGS "${flag}")
    endif()
endforeach()

function (halvora_own_warnings)
    foreach (target IN LISTS ARGN)
        if (NOT TARGET "${target}")
            message (FATAL_ERROR "halvora_own_warnings: '${target}' is not a target; name the target, "
                                 "its sources are taken from it")
        endif()
        get_target_property (dir "${target}" SOURCE_DIR)
        get_target_property (sources "${target}" SOURCES)
        set (own "")
        foreach (src IN LISTS sources)
            if (src MATCHES "^\\$<" OR NOT src MATCHES "\\.(c|cc|cpp)$")
                continue()
            endif()
            cmake_path (ABSOLUTE_PATH src BASE_DIRECTORY "${dir}" NORMALIZE OUTPUT_VARIABLE path)
            cmake_path (IS_PREFIX CMAKE_SOURCE_DIR "${path}" NORMALIZE ours)
            cmake_path (IS_PREFIX HALVORA_JUCE_DIR "${path}" NORMALIZE juce)
            cmake_path (IS_PREFIX CMAKE_BINARY_DIR "${path}" NORMALIZE generated)
            if (ours AND NOT juce AND NOT generated)
                list (APPEND own "${path}")
            endif()
        endforeach()
        if (own)
            set_source_files_properties (${own} TARGET_DIRECTORY "${target}"
                                         PROPERTIES COMPILE_OPTIONS "${HALVORA_OWN_WARNINGS}")
        endif()
    endforeach()
endfunction()
