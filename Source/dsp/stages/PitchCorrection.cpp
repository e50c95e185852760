#include "PitchCorrection.h"
#include "dsp/kernels/BlockResampler.h"
#include "dsp/Clamp.h"
#include "HalvoraVocabulary.h"

#include <algorithm>
#include <cmath>

namespace halvora
{

void PitchCorrection::prepare (const StageSetup& setup)
{
    shiftScratch.assign (static_cast<size_t> (setup.maximumBlockSize), 0.0f);
}

float PitchCorrection::snapMidiToScale (float midiNote, int key, int scale) noexcept
{
    const auto pc = std::fmod (midiNote - static_cast<float> (key) + 1200.0f, 12.0f);
    const auto p = static_cast<int> (std::round (pc));

    auto bestDistance = 1.0e9f;
    auto bestOffset = 0.0f;

    for (int k = -24; k <= 24; ++k)
    {
        const auto pitchClass = ((p + k) % 12 + 12) % 12;

        if (scaleMasks[scale][pitchClass] != 0)
        {
            // The move as float arithmetic makes it, not k itself: where the sum crosses a
            // power of two (note 64, 128) it rounds, and that rounding decides ties between
            // the members either side. Renders depend on it, so it stays written this way.
            const auto d = (static_cast<float> (k) + midiNote) - midiNote;

            if (std::abs (d) < bestDistance)
            {
                bestDistance = std::abs (d);
                bestOffset = d;
            }
        }
    }

    return midiNote + bestOffset;
}

PitchCorrection::Result PitchCorrection::process (juce::AudioBuffer<float>& buffer, float smoothedHz, const Settings& settings)
{
    Result result;

    if (! (smoothedHz > 0.0f) || settings.correctionStrength == 0.0f)
        return result;

    const auto midi = std::log2 (juce::jmax (1.0f, smoothedHz) / 440.0f) * 12.0f + 69.0f;
    const auto snapped = snapMidiToScale (midi, settings.keyIndex, settings.scaleIndex);
    const auto target = std::exp2 ((snapped - 69.0f) / 12.0f) * 440.0f;

    if (target <= 1.0f)
        return result;

    result.targetHz = target;

    const auto pitchRatio = clampBetween (0.5f, 2.0f, settings.correctionStrength * (target / smoothedHz - 1.0f) + 1.0f);

    if (pitchRatio == 1.0f)
        return result;

    const auto numSamples = buffer.getNumSamples();

    // Faster replay reads only at or after each sample's own place, so it can run in
    // place; slower replay reads behind itself, from a copy of just the part it reaches.
    const auto keep = pitchRatio > 1.0f ? 0 : BlockResampler::samplesRead (numSamples, pitchRatio);

    if (shiftScratch.size() < static_cast<size_t> (keep))
        shiftScratch.resize (static_cast<size_t> (keep));

    for (int c = 0; c < buffer.getNumChannels(); ++c)
    {
        auto* samples = buffer.getWritePointer (c);

        if (keep == 0)
        {
            BlockResampler::replay (samples, samples, numSamples, pitchRatio);
        }
        else
        {
            std::copy_n (samples, keep, shiftScratch.data());
            BlockResampler::replay (shiftScratch.data(), samples, numSamples, pitchRatio);
        }
    }

    result.ratio = pitchRatio;
    return result;
}

} // namespace halvora
