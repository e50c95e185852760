#include "AtomicWrite.h"

namespace halvora
{

juce::String writeAtomically (const juce::File& target, const StreamFiller& fill)
{
    // The temporary is deleted when it goes out of scope unless it was renamed.
    juce::TemporaryFile temp (target);
    auto stream = temp.getFile().createOutputStream();

    if (stream == nullptr || stream->failedToOpen())
        return "cannot write '" + target.getFullPathName() + "'";

    if (auto error = fill (std::move (stream)); error.isNotEmpty())
        return error;

    if (! temp.overwriteTargetFileWithTemporary())
        return "cannot replace '" + target.getFullPathName() + "'";

    return {};
}

juce::String writeAtomically (const juce::File& target, const void* data, size_t size)
{
    const auto error = writeAtomically (target, [&] (std::unique_ptr<juce::FileOutputStream> stream) {
        const auto written = stream->write (data, size);
        stream->flush();
        return written && stream->getStatus().wasOk() ? juce::String() : juce::String ("cannot write");
    });

    // A block of bytes either arrives whole or not at all, whichever step failed.
    return error.isEmpty() ? juce::String() : "cannot write '" + target.getFullPathName() + "'";
}

} // namespace halvora
