#include "AtomicWrite.h"

#include <cstring>
#include <utility>

namespace halvora
{

namespace
{
    /** The stream handed to a StreamFiller. Audio writers send a few kilobytes at a time; this
        gathers them into large writes, which the kernel takes far more cheaply than many small
        ones. It also remembers any write that did not go through, including one that
        juce::FileOutputStream would only meet while seeking (a writer going back to its header)
        and let pass unreported: the temporary must never be renamed over the target then.
    */
    class GatheringFileStream final : public juce::FileOutputStream
    {
    public:
        GatheringFileStream (const juce::File& target, size_t blockSize, bool& anyWriteFailed)
            : juce::FileOutputStream (target, 0), // unbuffered underneath: every write's result reaches us
              block (blockSize),
              capacity (blockSize),
              failed (anyWriteFailed)
        {
        }

        ~GatheringFileStream() override { writeOut(); }

        bool write (const void* data, size_t numBytes) override
        {
            if (failed)
                return false;

            if (used + numBytes > capacity)
            {
                if (! writeOut())
                    return false;

                if (numBytes > capacity)
                    return check (juce::FileOutputStream::write (data, numBytes));
            }

            std::memcpy (block + used, data, numBytes);
            used += numBytes;
            return true;
        }

        juce::int64 getPosition() override { return juce::FileOutputStream::getPosition() + static_cast<juce::int64> (used); }

        bool setPosition (juce::int64 newPosition) override
        {
            if (newPosition == getPosition())
                return true;

            return writeOut() && check (juce::FileOutputStream::setPosition (newPosition));
        }

        void flush() override
        {
            writeOut();
            juce::FileOutputStream::flush();
            check (getStatus().wasOk());
        }

    private:
        juce::HeapBlock<char> block;
        size_t capacity, used = 0;
        bool& failed;

        bool check (bool ok)
        {
            failed = failed || ! ok;
            return ok;
        }

        bool writeOut()
        {
            if (used == 0)
                return ! failed;

            const auto n = std::exchange (used, size_t {});
            return check (juce::FileOutputStream::write (block, n));
        }
    };

    // A render reaches the kernel in a few dozen writes instead of hundreds, while the block
    // stays small enough to sit in the processor's cache between one write and the next:
    // larger blocks measured no faster, and 4 MiB measured slower.
    constexpr size_t writeBlockSize = 128 * 1024;
} // namespace

juce::String writeAtomically (const juce::File& target, const StreamFiller& fill)
{
    // The temporary is deleted when it goes out of scope unless it was renamed.
    juce::TemporaryFile temp (target);
    auto anyWriteFailed = false;
    std::unique_ptr<juce::FileOutputStream> stream = std::make_unique<GatheringFileStream> (temp.getFile(), writeBlockSize, anyWriteFailed);

    if (stream->failedToOpen())
        return "cannot write '" + target.getFullPathName() + "'";

    if (auto error = fill (std::move (stream)); error.isNotEmpty())
        return error;

    if (anyWriteFailed)
        return "cannot write '" + target.getFullPathName() + "'";

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
