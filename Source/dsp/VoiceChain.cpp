#include "VoiceChain.h"
#include "dsp/Clamp.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace halvora
{

void VoiceChain::prepare (const StageSetup& setup)
{
    const auto announced = clampBetween (0, maxAnnouncedBlockSize, setup.maximumBlockSize);

    analysisBuffer.setSize (std::max (1, setup.numChannels), 2 * announced);
    analysisBuffer.clear();

    // Every stage's working storage is sized here so the audio thread never allocates for
    // blocks of up to twice the announced size.
    stageSetup = { setup.sampleRate, 2 * announced, setup.numChannels };
    pitchTracking.prepare (stageSetup);
    pitchCorrection.prepare (stageSetup);
    tone.prepare (stageSetup);
    echo.prepare (stageSetup);
    reverbBlend.prepare (stageSetup);
    lastPitch = {};
}

void VoiceChain::reset()
{
    analysisBuffer.clear();
    pitchTracking.reset();
    pitchCorrection.reset();
    tone.reset();
    echo.reset();
    reverbBlend.reset();
    lastPitch = {};
}

void VoiceChain::process (juce::AudioBuffer<float>& buffer, const VoiceChainSettings& settings)
{
    if (buffer.getNumSamples() <= 0 || buffer.getNumChannels() == 0)
        return;

    silenceNonFiniteSamples (buffer);
    buildAnalysisSignal (buffer);

    const auto tracked = pitchTracking.process (analysisBuffer, settings.tracking);
    const auto corrected = pitchCorrection.process (buffer, tracked.smoothedHz, settings.correction);
    lastPitch = { tracked.detectedHz, tracked.smoothedHz, corrected.targetHz, corrected.ratio };

    tone.process (buffer, settings.tone);
    echo.process (buffer, settings.echo);
    reverbBlend.process (buffer, settings.reverb);
}

void VoiceChain::silenceNonFiniteSamples (juce::AudioBuffer<float>& buffer) noexcept
{
    // One NaN or infinity would otherwise live on in the tone filter, the echo lines and
    // the reverb until the next prepare: read it as silence instead.
    for (int c = 0; c < buffer.getNumChannels(); ++c)
    {
        auto* samples = buffer.getWritePointer (c);

        // First one look over the whole channel, in vector lanes: without the sign bit, every
        // infinity and NaN lies at or above the infinity's bit pattern, every finite
        // value below it. Almost every block is finite throughout and stops there.
        std::uint32_t largestMagnitude = 0;

        for (int i = 0; i < buffer.getNumSamples(); ++i)
        {
            std::uint32_t bits;
            std::memcpy (&bits, samples + i, sizeof (bits));
            largestMagnitude = std::max (largestMagnitude, bits & 0x7fffffffu);
        }

        if (largestMagnitude < 0x7f800000u)
            continue;

        for (int i = 0; i < buffer.getNumSamples(); ++i)
            if (! std::isfinite (samples[i]))
                samples[i] = 0.0f;
    }
}

void VoiceChain::buildAnalysisSignal (const juce::AudioBuffer<float>& buffer)
{
    const auto numSamples = buffer.getNumSamples();
    analysisBuffer.setSize (1, numSamples, false, false, true);
    auto* mono = analysisBuffer.getWritePointer (0);

    if (buffer.getNumChannels() == 1)
    {
        std::copy_n (buffer.getReadPointer (0), numSamples, mono);
        return;
    }

    const auto* left = buffer.getReadPointer (0);
    const auto* right = buffer.getReadPointer (1);

    for (int i = 0; i < numSamples; ++i)
        mono[i] = (left[i] + right[i]) * 0.5f;
}

} // namespace halvora
