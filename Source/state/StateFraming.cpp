#include "StateFraming.h"

#include <cstring>

namespace halvora::StateFraming
{

namespace
{
    void writeLittleEndian (char* destination, juce::uint32 value) noexcept
    {
        for (int i = 0; i < 4; ++i)
            destination[i] = static_cast<char> ((value >> (8 * i)) & 0xff);
    }
} // namespace

std::optional<juce::MemoryBlock> frame (std::string_view text)
{
    if (text.size() > longestText)
        return std::nullopt;

    juce::MemoryBlock block (headerSize + text.size() + 1, false);
    auto* bytes = static_cast<char*> (block.getData());
    const auto length = static_cast<juce::uint32> (text.size());

    writeLittleEndian (bytes, magic);
    writeLittleEndian (bytes + 4, length);

    if (! text.empty())
        std::memcpy (bytes + headerSize, text.data(), text.size());

    bytes[headerSize + text.size()] = '\0';
    return block;
}

std::optional<std::string_view> unframe (const void* data, size_t size) noexcept
{
    if (data == nullptr || size <= headerSize)
        return std::nullopt;

    const auto* bytes = static_cast<const char*> (data);
    const auto length = static_cast<juce::int32> (juce::ByteOrder::littleEndianInt (bytes + 4));

    if (juce::ByteOrder::littleEndianInt (bytes) != magic || length <= 0)
        return std::nullopt;

    const auto* text = bytes + headerSize;
    const auto present = juce::jmin (size - headerSize, static_cast<size_t> (length));
    return std::string_view (text, strnlen (text, present));
}

} // namespace halvora::StateFraming
