#pragma once

#include <juce_core/juce_core.h>

namespace halvora
{

/** The vocal ranges, each with its pitch span and the shortest block in which the pitch
    detector finds its pitch at 44.1, 48 and 96 kHz: what --list-ranges prints, and the
    table the README shows hosts' users.
*/
juce::String describeRanges();

/** A one-line warning when blocks of blockSize samples are too short for the pitch detector
    to find a pitch in the range at this sample rate, so that nothing gets corrected;
    empty when they are long enough.
*/
juce::String shortBlockWarning (int blockSize, int rangeIndex, double sampleRate);

} // namespace halvora
