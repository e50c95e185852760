#pragma once

#include <juce_core/juce_core.h>

#include <cstddef>
#include <optional>
#include <string_view>

/** How a saved state travels between Halvora and a host: the framework's binary framing of
    state text (AudioProcessor::copyXmlToBinary), a magic number and the text's length, both
    32-bit little-endian, then the UTF-8 text and a zero byte. Everything that writes or
    reads a state block goes through here, so that every door frames a state alike.
*/
namespace halvora::StateFraming
{
/** The first four bytes of a block, read little-endian. */
inline constexpr juce::uint32 magic = 0x21324356;

/** The magic number and the length in front of the text. */
inline constexpr size_t headerSize = 8;

/** The longest text a block holds: a restore takes a block whose size is an int. */
inline constexpr size_t longestText = static_cast<size_t> (std::numeric_limits<int>::max()) - headerSize - 1;

/** The text framed byte for byte as copyXmlToBinary frames it: the length counts the text
    without its closing zero. Nothing if the text is longer than longestText.
*/
std::optional<juce::MemoryBlock> frame (std::string_view text);

/** The text of a block as a restore reads it: at least 9 bytes, the magic number, a length
    above 0 (read as signed) that is cut to the bytes present, and the text ends there or
    at its first zero byte. Nothing if the framing is not ours. The text points into `data`.
*/
std::optional<std::string_view> unframe (const void* data, size_t size) noexcept;
} // namespace halvora::StateFraming
