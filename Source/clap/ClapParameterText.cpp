#include "ClapParameterText.h"

#include "HalvoraVocabulary.h"
#include "parameters/HostValue.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>

namespace halvora::clap::ParameterText
{
namespace
{
    struct Unit
    {
        const char* id;
        const char* unit;
        int minimumDecimals; // "-6.0 dB", but "30 %"
    };

    // clang-format off
    constexpr Unit units[] {
        { ParamID::formant,   "",   1 },
        { ParamID::gain,      "dB", 1 },
        { ParamID::vibRate,   "Hz", 1 },
        { ParamID::vibDepth,  "%",  0 },
        { ParamID::delayMix,  "%",  0 },
        { ParamID::reverbMix, "%",  0 },
        { ParamID::morvel,    "",   1 },
    };
    // clang-format on

    const Unit* unitEntry (std::size_t parameterIndex) noexcept
    {
        if (parameterIndex >= parameterIDs.size())
            return nullptr;

        for (const auto& u : units)
            if (std::strcmp (u.id, parameterIDs[parameterIndex]) == 0)
                return &u;

        return nullptr;
    }

    /** The decimals a value on the parameter's step needs: 2 for a step of 0.01. */
    int decimalsOf (const juce::RangedAudioParameter& parameter) noexcept
    {
        const auto step = static_cast<double> (parameter.getNormalisableRange().interval);
        int decimals = 0;

        while (decimals < 6 && step > 0.0 && std::abs (step * std::pow (10.0, decimals) - std::round (step * std::pow (10.0, decimals))) > 1.0e-6)
            ++decimals;

        return decimals;
    }

    std::string_view trimmed (std::string_view text) noexcept
    {
        while (! text.empty() && std::isspace (static_cast<unsigned char> (text.front())))
            text.remove_prefix (1);
        while (! text.empty() && std::isspace (static_cast<unsigned char> (text.back())))
            text.remove_suffix (1);
        return text;
    }

    bool equalIgnoringCase (std::string_view a, std::string_view b) noexcept
    {
        if (a.size() != b.size())
            return false;

        for (std::size_t i = 0; i < a.size(); ++i)
            if (std::tolower (static_cast<unsigned char> (a[i])) != std::tolower (static_cast<unsigned char> (b[i])))
                return false;

        return true;
    }

    /** The whole text as a number in the C locale, whatever locale the host runs in. */
    std::optional<double> numberIn (std::string_view text) noexcept
    {
        if (! text.empty() && text.front() == '+')
            text.remove_prefix (1);

        double value = 0.0;
        const auto [end, error] = std::from_chars (text.data(), text.data() + text.size(), value);

        if (error != std::errc() || end != text.data() + text.size() || text.empty())
            return std::nullopt;

        return value;
    }

    double heldPlain (const juce::RangedAudioParameter& parameter, double plain) noexcept
    {
        return static_cast<double> (parameter.convertFrom0to1 (HostValue::fromPlain (parameter, plain)));
    }
} // namespace

const char* unitOf (std::size_t parameterIndex) noexcept
{
    const auto* entry = unitEntry (parameterIndex);
    return entry != nullptr ? entry->unit : "";
}

std::string fromPlain (const juce::RangedAudioParameter& parameter, std::size_t parameterIndex, double plain)
{
    const auto held = heldPlain (parameter, plain);

    if (HostValue::isChoice (parameter))
    {
        const auto& choices = static_cast<const juce::AudioParameterChoice&> (parameter).choices;
        return choices[static_cast<int> (held)].toStdString();
    }

    const auto* entry = unitEntry (parameterIndex);
    const auto decimals = decimalsOf (parameter);

    // Adding 0.0 turns -0 into 0, so that no "-0.0" shows.
    char number[64];
    const auto written = std::to_chars (number, number + sizeof (number), held + 0.0, std::chars_format::fixed, decimals);
    std::string text (number, written.ptr);

    // The step's decimals, less the trailing zeros beyond what the unit always shows.
    const auto minimum = entry != nullptr ? entry->minimumDecimals : 1;
    const auto point = text.find ('.');

    if (point != std::string::npos)
    {
        while (text.size() - point - 1 > static_cast<std::size_t> (minimum) && text.back() == '0')
            text.pop_back();

        if (text.back() == '.')
            text.pop_back();
    }
    else if (minimum > 0)
    {
        text += "." + std::string (static_cast<std::size_t> (minimum), '0');
    }

    if (entry != nullptr && *entry->unit != 0)
        text += std::string (" ") + entry->unit;

    return text;
}

std::optional<double> toPlain (const juce::RangedAudioParameter& parameter, std::size_t parameterIndex, const char* text)
{
    if (text == nullptr)
        return std::nullopt;

    auto words = trimmed (text);

    if (HostValue::isChoice (parameter))
    {
        const auto& choices = static_cast<const juce::AudioParameterChoice&> (parameter).choices;

        for (int i = 0; i < choices.size(); ++i)
            if (equalIgnoringCase (words, choices[i].toRawUTF8()))
                return static_cast<double> (i);
    }
    else if (const std::string_view unit = unitOf (parameterIndex); ! unit.empty() && words.size() >= unit.size()
                                                                    && equalIgnoringCase (words.substr (words.size() - unit.size()), unit))
    {
        words = trimmed (words.substr (0, words.size() - unit.size()));
    }

    if (const auto number = numberIn (words))
        return heldPlain (parameter, *number);

    return std::nullopt;
}

} // namespace halvora::clap::ParameterText
