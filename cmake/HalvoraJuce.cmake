# Finds JUCE 8: HALVORA_JUCE_DIR (cache or environment) or the tree scripts/bootstrap unpacks.
set (HALVORA_JUCE_DIR "$ENV{HALVORA_JUCE_DIR}" CACHE PATH "A JUCE 8 source tree to build against")
if (NOT HALVORA_JUCE_DIR)
    set (HALVORA_JUCE_DIR "${CMAKE_SOURCE_DIR}/.deps/juce")
endif()

if (NOT EXISTS "${HALVORA_JUCE_DIR}/CMakeLists.txt")
    message (FATAL_ERROR "No JUCE 8 found at ${HALVORA_JUCE_DIR}: run scripts/bootstrap or set HALVORA_JUCE_DIR")
endif()

add_subdirectory ("${HALVORA_JUCE_DIR}" "${CMAKE_BINARY_DIR}/juce" EXCLUDE_FROM_ALL)

file (STRINGS "${HALVORA_JUCE_DIR}/CMakeLists.txt" juce_project_line REGEX "project\\(JUCE VERSION")
string (REGEX MATCH "[0-9]+\\.[0-9]+\\.[0-9]+" HALVORA_JUCE_VERSION "${juce_project_line}")
if (HALVORA_JUCE_VERSION VERSION_LESS 8.0)
    message (FATAL_ERROR "Halvora needs JUCE 8; ${HALVORA_JUCE_DIR} is JUCE ${HALVORA_JUCE_VERSION}")
endif()
message (STATUS "Halvora: JUCE ${HALVORA_JUCE_VERSION} from ${HALVORA_JUCE_DIR}")

# With the undefined-behaviour sanitizer (cmake/Sanitizers.cmake): JUCE's FLAC reader
# shifts negative samples left. C++20 defines that, and GCC has always done it as a
# two's-complement shift, but the sanitizer judges by the C++17 rules this project builds
# with and stops the run. That one framework file is spared the shift check; our own code
# and the rest of the framework keep it.
if (HALVORA_SANITIZE MATCHES "undefined")
    set_source_files_properties ("${HALVORA_JUCE_DIR}/modules/juce_audio_formats/juce_audio_formats.cpp"
                                 PROPERTIES COMPILE_OPTIONS "-fno-sanitize=shift-base")
endif()
