# ccache keeps rebuilds of the JUCE modules cheap across build folders and clean clones.
find_program (HALVORA_CCACHE ccache)
if (HALVORA_CCACHE)
    set (CMAKE_C_COMPILER_LAUNCHER "${HALVORA_CCACHE}")
    set (CMAKE_CXX_COMPILER_LAUNCHER "${HALVORA_CCACHE}")
endif()
