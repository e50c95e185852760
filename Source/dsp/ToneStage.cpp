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
    for (int start = 0; start < numSamples; start += toneChunkLength)
    {
        const auto length = std::min (toneChunkLength, numSamples - start);
        auto* sines = vibratoSines.data();
        auto phase = vibratoPhase;

        if (sinesNeeded)
        {
            for (int i = 0; i < length; ++i)
            {
                sines[i] = phase;
                advance (phase);
            }

            if (mathPath)
                VectorMath::sin (sines, sines, length, *mathPath);
            else
                VectorMath::sin (sines, sines, length);
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

            // Without sines the phase moves on in the first channel's loop, beside the
            // filter, rather than in a loop of its own.
            const auto movesPhase = c == 0 && ! sinesNeeded;

            for (int i = 0; i < length; ++i)
            {
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

                if (movesPhase)
                    advance (phase);
            }

            toneState[static_cast<size_t> (c)] = lp;
        }

        vibratoPhase = phase;
    }
}

} // namespace halvora
