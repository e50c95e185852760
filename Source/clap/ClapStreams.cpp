#include "ClapStreams.h"

namespace halvora::clap::Streams
{

std::optional<juce::MemoryBlock> readAll (const clap_istream_t* stream, std::uint64_t maxBytes)
{
    if (stream == nullptr || stream->read == nullptr)
        return std::nullopt;

    juce::MemoryOutputStream content;
    char piece[4096];

    for (;;)
    {
        const auto got = stream->read (stream, piece, sizeof (piece));

        if (got == 0)
            return content.getMemoryBlock();

        if (got < 0 || static_cast<std::uint64_t> (got) > sizeof (piece) || content.getDataSize() + static_cast<std::uint64_t> (got) > maxBytes)
            return std::nullopt;

        content.write (piece, static_cast<std::size_t> (got));
    }
}

bool writeAll (const clap_ostream_t* stream, const void* data, std::size_t size)
{
    if (stream == nullptr || stream->write == nullptr)
        return false;

    const auto* bytes = static_cast<const char*> (data);

    // A stream that takes nothing, again and again, is given up on rather than waited for.
    for (int idleWrites = 0; size > 0 && idleWrites < 16;)
    {
        const auto written = stream->write (stream, bytes, size);

        if (written < 0 || static_cast<std::uint64_t> (written) > size)
            return false;

        idleWrites = written == 0 ? idleWrites + 1 : 0;
        bytes += written;
        size -= static_cast<std::size_t> (written);
    }

    return size == 0;
}

} // namespace halvora::clap::Streams
