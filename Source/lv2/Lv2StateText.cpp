#include "Lv2StateText.h"

#include "PluginProcessor.h"
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

std::string write (HalvoraAudioProcessor& processor, const std::array<float, parameterIDs.size()>& values)
{
    auto state = processor.apvts.copyState();

    for (std::size_t i = 0; i < values.size(); ++i)
    {
        auto child = state.getChildWithProperty ("id", juce::String (parameterIDs[i]));

        if (child.isValid())
            child.setProperty ("value", values[i], nullptr);
    }

    const auto xml = state.createXml();

    if (xml == nullptr)
        return {};

    // The framework's framing holds the same single-line text.
    return xml->toString (juce::XmlElement::TextFormat().singleLine()).toStdString();
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
