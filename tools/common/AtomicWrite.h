#pragma once

#include <juce_core/juce_core.h>

#include <functional>
#include <memory>

namespace halvora
{

/** Fills a stream onto the file being written and returns a one-line error, or nothing. It
    may hand the stream to a writer that takes it over, but must have finished with it
    (writer flushed and gone) by the time it returns.
*/
using StreamFiller = std::function<juce::String (std::unique_ptr<juce::FileOutputStream>)>;

/** Writes `target` through a temporary file beside it, renamed over the target only once
    everything is written: a failure never leaves a half-written output or spoils the file
    that was there, and never leaves the temporary behind. Small writes reach the file in
    large blocks, and a write that failed anywhere on the way (even unnoticed by the filler)
    stops the rename. Returns a one-line error naming the target, or nothing.
*/
juce::String writeAtomically (const juce::File& target, const StreamFiller& fill);

/** The same for a block of bytes already in memory. */
juce::String writeAtomically (const juce::File& target, const void* data, size_t size);

} // namespace halvora
