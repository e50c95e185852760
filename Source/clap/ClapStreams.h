#pragma once

#include <juce_core/juce_core.h>

#include <clap/stream.h>

#include <cstdint>
#include <optional>

/** The host's state streams: a CLAP host hands over the saved state through a read call
    that may return any part of it at a time, and takes it through a write call that may
    take any part.
*/
namespace halvora::clap::Streams
{
/** Far more than any state Halvora writes (well under a kilobyte) or a hand edit could make
    that the reader takes; a stream that goes on beyond it is refused.
*/
inline constexpr std::uint64_t maxStateBytes = std::uint64_t { 4 } << 20;

/** Everything up to the stream's end, or nothing when a read fails, returns more than it
    was asked for, or the stream goes beyond maxBytes.
*/
std::optional<juce::MemoryBlock> readAll (const clap_istream_t*, std::uint64_t maxBytes = maxStateBytes);

/** True when the stream took every byte. */
bool writeAll (const clap_ostream_t*, const void* data, std::size_t size);
} // namespace halvora::clap::Streams
