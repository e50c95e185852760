#include "Lv2StateText.h"

#include "state/SavedState.h"
#include "state/SizedBase64.h"

#include <limits>

namespace halvora::lv2::Lv2StateText
{
namespace
{
    // The processor's restore takes a block whose size is an int, with eight bytes of framing
    // and a closing zero around the text.
    constexpr std::size_t longestText = static_cast<std::size_t> (std::numeric_limits<int>::max()) - 16;

    std::string_view withoutTrailingZeros (const char* text, std::size_t size)
    {
        while (size > 0 && text[size - 1] == '\0')
            --size;

        return { text, size };
    }
} // namespace

std::string textOf (const juce::MemoryBlock& savedBlock)
{
    // The framing: eight bytes before the text, a closing zero after it.
    if (savedBlock.getSize() < 9)
        return {};

    return { static_cast<const char*> (savedBlock.getData()) + 8, savedBlock.getSize() - 9 };
}

std::optional<juce::MemoryBlock> frame (const char* text, std::size_t size)
{
    if (text == nullptr)
        return std::nullopt;

    const auto document = withoutTrailingZeros (text, size);

    if (document.empty() || document.size() > longestText)
        return std::nullopt;

    juce::MemoryOutputStream out (document.size() + 9);
    out.writeInt (static_cast<int> (SavedState::binaryXmlMagic));
    out.writeInt (static_cast<int> (document.size() + 1));
    out.write (document.data(), document.size());
    out.writeByte (0);
    return out.getMemoryBlock();
}

std::optional<juce::MemoryBlock> decodeLegacy (const char* text, std::size_t size)
{
    if (text == nullptr)
        return std::nullopt;

    const auto decoded = SizedBase64::decode (withoutTrailingZeros (text, size));

    if (! decoded)
        return std::nullopt;

    return juce::MemoryBlock (decoded->data(), decoded->size());
}
} // namespace halvora::lv2::Lv2StateText
