#include "VoiceChainSettings.h"
#include "HalvoraVocabulary.h"
#include "dsp/Clamp.h"

#include <cmath>

namespace halvora
{

VoiceChainSettings VoiceChainSettings::from (const ParameterSnapshot& p, bool correctionActive) noexcept
{
    // The square root makes the first part of the morvel's travel count most: a quarter
    // of the way already corrects half-way.
    const auto correctionAmount = correctionActive ? clampBetween (0.0f, 1.0f, p.morvel) : 0.0f;
    const auto correctionStrength = std::sqrt (correctionAmount);

    VoiceChainSettings s;
    s.tracking = { p.rangeIndex, correctionStrength };
    s.correction = { p.keyIndex, p.scaleIndex, correctionStrength };

    constexpr auto& vibRate = findContinuous (ParamID::vibRate);

    s.tone.formantAmount = p.formant;
    s.tone.vibratoDepthPercent = p.vibratoDepthPercent;
    s.tone.gainFactor = p.gainDb > -100.0f ? std::pow (10.0f, 0.05f * p.gainDb) : 0.0f;
    s.tone.vibratoRateHz = clampBetween (vibRate.minimum, vibRate.maximum, p.vibratoRateHz);
    s.tone.rangeIndex = p.rangeIndex;

    s.echo.mixPercent = p.delayPercent;
    s.reverb.mixPercent = p.reverbPercent;
    return s;
}

} // namespace halvora
