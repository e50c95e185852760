#include "ParameterSnapshot.h"
#include "dsp/Clamp.h"

#include <cmath>
#include <string_view>

namespace halvora
{

namespace
{
    /** A parameter's place in parameterIDs. Used in a constant expression, an unknown
        ID fails to compile.
    */
    constexpr std::size_t parameterIndex (std::string_view id)
    {
        std::size_t i = 0;

        while (i < parameterIDs.size() && id != parameterIDs[i])
            ++i;

        return i < parameterIDs.size() ? i : throw "not a parameter ID";
    }

    /** The plain value a parameter holds, made finite: NaN reads as the default, an
        infinity as the bound it points at; finite values pass unchanged. Without a
        parameter, the default.

        Read from the parameter object itself (an atomic float, no lock), so that a value a
        door hands the parameter on the audio thread plays in the same block. It is the
        value the value-tree state mirrors, to the bit: the normalised value turned back
        into the parameter's units.
    */
    float loadFinite (const juce::RangedAudioParameter* parameter, float defaultValue, float minimum, float maximum) noexcept
    {
        if (parameter == nullptr)
            return defaultValue;

        const auto raw = parameter->convertFrom0to1 (parameter->getValue());

        if (std::isnan (raw))
            return defaultValue;

        if (std::isinf (raw))
            return raw > 0.0f ? maximum : minimum;

        return raw;
    }

    /** A continuous parameter read with its own default and bounds. */
    float loadFinite (const juce::RangedAudioParameter* parameter, const ContinuousParameter& p) noexcept
    {
        return loadFinite (parameter, p.defaultValue, p.minimum, p.maximum);
    }

    /** A choice index from its raw value: truncated toward zero, then clamped to the list. */
    int loadChoice (const juce::RangedAudioParameter* parameter, const ChoiceParameter& p) noexcept
    {
        const auto last = p.numChoices - 1;
        const auto raw = loadFinite (parameter, 0.0f, 0.0f, static_cast<float> (last)); // clamped as a float first

        if (! (raw > 0.0f)) // also NaN
            return 0;

        if (raw >= static_cast<float> (last))
            return last;

        return static_cast<int> (raw);
    }
} // namespace

//==============================================================================
namespace
{
    /** Where a parameter's handle sits and its entry in the vocabulary, both found while
        compiling, so the audio thread looks nothing up.
    */
    struct ContinuousSlot
    {
        std::size_t index;
        const ContinuousParameter& parameter;
    };

    struct ChoiceSlot
    {
        std::size_t index;
        const ChoiceParameter& parameter;
    };

    constexpr ContinuousSlot continuous (std::string_view id) { return { parameterIndex (id), findContinuous (id) }; }
    constexpr ChoiceSlot choice (std::string_view id) { return { parameterIndex (id), findChoice (id) }; }

    // clang-format off
    constexpr auto formant   = continuous (ParamID::formant);
    constexpr auto gain      = continuous (ParamID::gain);
    constexpr auto vibRate   = continuous (ParamID::vibRate);
    constexpr auto vibDepth  = continuous (ParamID::vibDepth);
    constexpr auto delayMix  = continuous (ParamID::delayMix);
    constexpr auto reverbMix = continuous (ParamID::reverbMix);
    constexpr auto morvel    = continuous (ParamID::morvel);
    constexpr auto range     = choice (ParamID::range);
    constexpr auto key       = choice (ParamID::key);
    constexpr auto scale     = choice (ParamID::scale);
    // clang-format on

    using Handles = ParameterReader::Handles;

    float valueOf (const Handles& handles, const ContinuousSlot& slot) noexcept
    {
        return loadFinite (handles[slot.index], slot.parameter);
    }

    int valueOf (const Handles& handles, const ChoiceSlot& slot) noexcept
    {
        return loadChoice (handles[slot.index], slot.parameter);
    }
} // namespace

ParameterReader::ParameterReader (juce::AudioProcessorValueTreeState& state)
{
    for (std::size_t i = 0; i < parameterIDs.size(); ++i)
        handles[i] = state.getParameter (parameterIDs[i]);
}

ParameterSnapshot ParameterReader::read() const noexcept
{
    ParameterSnapshot s;
    s.formant = valueOf (handles, formant);
    s.gainDb = valueOf (handles, gain);
    s.vibratoRateHz = valueOf (handles, vibRate);
    s.vibratoDepthPercent = valueOf (handles, vibDepth);
    s.delayPercent = valueOf (handles, delayMix);
    s.reverbPercent = valueOf (handles, reverbMix);

    // Without a morvel handle there is no correction at all, not the default amount.
    s.morvel = handles[morvel.index] != nullptr ? valueOf (handles, morvel) : 0.0f;

    s.rangeIndex = valueOf (handles, range);
    s.keyIndex = valueOf (handles, key);
    s.scaleIndex = valueOf (handles, scale);
    return s;
}

} // namespace halvora
