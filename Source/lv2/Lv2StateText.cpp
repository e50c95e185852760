#include "Lv2StateText.h"

#include "state/SizedBase64.h"
#include "state/StateFraming.h"

namespace halvora::lv2::Lv2StateText
{
namespace
{
    std::string_view withoutTrailingZeros (const char* text, std::size_t size)
    {
        while (size > 0 && text[size - 1] == '\0')
            --size;

        return { text, size };
    }
} // namespace

std::string textOf (const juce::MemoryBlock& savedBlock)
{
    const auto text = StateFraming::unframe (savedBlock.getData(), savedBlock.getSize());
    return text ? std::string (*text) : std::string();
}

std::optional<juce::MemoryBlock> frame (const char* text, std::size_t size)
{
    if (text == nullptr)
        return std::nullopt;

    const auto document = withoutTrailingZeros (text, size);

    if (document.empty())
        return std::nullopt;

    return StateFraming::frame (document);
}

std::optional<juce::MemoryBlock> decodeLegacy (const char* text, std::size_t size)
{
    if (text == nullptr)
        return std::nullopt;

    const auto decoded = SizedBase64::decode (withoutTrailingZeros (text, size));

    if (! decoded)
        return std::nullopt;

    // The framework's block of that release: its text, framed again as every state is.
    const auto document = StateFraming::unframe (decoded->data(), decoded->size());

    if (! document)
        return std::nullopt;

    return StateFraming::frame (*document);
}
} // namespace halvora::lv2::Lv2StateText
