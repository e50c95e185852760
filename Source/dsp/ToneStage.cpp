#include "ToneStage.h"
#include "Clamp.h"
#include "HalvoraVocabulary.h"
#include "VectorMath.h"

#include <algorithm>

namespace halvora
{

namespace
{
    constexpr float twoPiFloat = 6.2831855f;
}

void ToneStage::prepare (int numChannels)
{
    toneState.assign (static_cast<size_t> (std::max (0, numChannels)), 0.0f);
    vibratoPhase = 0.0f;
}

void ToneStage::reset() noexcept
{
    std::fill (toneState.begin(), toneState.end(), 0.0f);
    vibratoPhase = 0.0f;
}

void ToneStage::process (juce::AudioBuffer<float>& buffer, const Settings& settings)
{
    if (toneState.size() < static_cast<size_t> (buffer.getNumChannels()))
        toneState.assign (static_cast<size_t> (buffer.getNumChannels()), 0.0f);

    const auto f = clampBetween (-1.0f, 1.0f, settings.formantAmount);
    const auto saturation = f < 0.0f ? -f : 0.0f;
    const auto darkening = f > 0.0f ? f : 0.0f;
    const auto drive = 4.0f * saturation + 1.0f;
    const auto saturationMix = 0.7f * saturation + 0.3f;

    const auto vibratoDepth = clampBetween (0.0f, 1.0f, settings.vibratoDepthPercent / 100.0f) * 0.5f;

    const auto& range = vocalRanges[static_cast<size_t> (settings.rangeIndex)];
    const auto highWeight = range.highWeight;
    const auto lowWeight = range.lowWeight;
    const auto gain = settings.gainFactor;
    const auto norm = saturation > 0.0f ? 1.0f / VectorMath::tanh (drive) : 0.0f;
    const auto numSamples = buffer.getNumSamples();

    // With no vibrato depth the factor s * 0 + 1 is exactly 1 for any finite sine, so the
    // sine need not be computed: the same bits come out.
    const auto sinesNeeded = vibratoDepth != 0.0f;

    const auto advance = [step = settings.phaseIncrement] (float& phase) noexcept {
        phase = phase + step;
        if (phase > twoPiFloat)
            phase -= twoPiFloat;
    };

    // In chunks, so that the sines and the tanh run over whole arrays in vector lanes
    // instead of one library call per sample inside the filter loop. Every channel swings
    // with the same vibrato, so one sine per sample serves them all.
    //
    // The phases form a chain of dependent additions, and so does each channel's filter.
    // Rather than walking the phase chain in a loop of its own, the first channel's loop
    // lists the next chunk's phases beside its filter, so the two chains overlap.
    auto phase = vibratoPhase; // the phase of the first sample not yet listed
    auto* phases = vibratoPhases.data();

    if (sinesNeeded)
    {
        for (int i = 0; i < std::min (toneChunkLength, numSamples); ++i)
        {
            phases[i] = phase;
            advance (phase);
        }
    }

    for (int start = 0; start < numSamples; start += toneChunkLength)
    {
        const auto length = std::min (toneChunkLength, numSamples - start);
        const auto nextLength = std::min (toneChunkLength, numSamples - start - length);
        auto* sines = vibratoSines.data();

        if (sinesNeeded)
        {
            if (mathPath)
                VectorMath::sin (phases, sines, length, *mathPath);
            else
                VectorMath::sin (phases, sines, length);
        }

        for (int c = 0; c < buffer.getNumChannels(); ++c)
        {
            auto* samples = buffer.getWritePointer (c) + start;
            auto* shaped = saturatedSamples.data();
            auto lp = toneState[static_cast<size_t> (c)];

            if (saturation > 0.0f)
            {
                for (int i = 0; i < length; ++i)
                    shaped[i] = drive * samples[i];

                if (mathPath)
                    VectorMath::tanh (shaped, shaped, length, *mathPath);
                else
                    VectorMath::tanh (shaped, shaped, length);
            }

            const auto colour = [&] (int i) noexcept {
                const auto x = samples[i];
                lp = (lp + x) * 0.5f;

                float v;
                if (saturation > 0.0f)
                    v = x * (1.0f - saturationMix) + shaped[i] * norm * saturationMix;
                else if (darkening > 0.0f)
                    v = x * (1.0f - darkening) + darkening * lp;
                else
                    v = x;

                const auto y = lp * lowWeight + (v - lp) * highWeight;
                const auto sine = sinesNeeded ? sines[i] : 0.0f;
                samples[i] = ((sine * vibratoDepth + 1.0f) * y) * gain;
            };

            // The first channel moves the phase on: by the next chunk's samples when the
            // sines need listing, by this chunk's when they are not needed at all.
            const auto phaseSteps = c != 0 ? 0 : (sinesNeeded ? nextLength : length);
            int i = 0;

            if (sinesNeeded)
            {
                for (; i < phaseSteps; ++i)
                {
                    colour (i);
                    phases[i] = phase;
                    advance (phase);
                }
            }
            else
            {
                for (; i < phaseSteps; ++i)
                {
                    colour (i);
                    advance (phase);
                }
            }

            for (; i < length; ++i)
                colour (i);

            toneState[static_cast<size_t> (c)] = lp;
        }

        // A block with no channels still moves the vibrato on.
        if (buffer.getNumChannels() == 0)
        {
            for (int i = 0; i < (sinesNeeded ? nextLength : length); ++i)
            {
                phases[i] = phase;
                advance (phase);
            }
        }
    }

    vibratoPhase = phase;
}

} // namespace halvora
