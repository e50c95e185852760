# ccache keeps rebuilds of the JUCE modules cheap across build folders and fresh clones.
find_program (HALVORA_CCACHE ccache)
if (HALVORA_CCACHE)
    set (CMAKE_C_COMPILER_LAUNCHER "${CMAKE_SOURCE_DIR}/cmake/ccache-launcher")
    set (CMAKE_CXX_COMPILER_LAUNCHER "${CMAKE_SOURCE_DIR}/cmake/ccache-launcher")
endif()
