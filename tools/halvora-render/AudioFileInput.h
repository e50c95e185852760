#pragma once

#include <juce_audio_formats/juce_audio_formats.h>

#include <memory>

namespace halvora
{

/** Opens a WAV, AIFF or FLAC file for reading, recognised by its content. WAV and AIFF are
    read straight out of a memory map of the file when the whole of their sample data can be
    mapped, which spares the copy through the kernel that reading a stream makes for every
    block. Anything else is read as a stream: FLAC, a file with no samples, a file shorter than
    its header says (whose missing end reads as silence), or a map the system refuses. Either
    way the samples are the same. Null if the file is none of these formats.
*/
std::unique_ptr<juce::AudioFormatReader> openAudioFile (const juce::File& file);

} // namespace halvora
