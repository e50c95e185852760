#include "ReverbBlend.h"

#include <algorithm>

namespace halvora
{

juce::Reverb::Parameters ReverbBlend::voiceRoom() noexcept
{
    juce::Reverb::Parameters room;
    room.roomSize = 0.6f;
    room.damping = 0.4f;
    room.wetLevel = 1.0f;
    room.dryLevel = 1.0f;
    room.width = 1.0f;
    room.freezeMode = 0.0f;
    return room;
}

void ReverbBlend::prepare (const StageSetup& setup)
{
    // The room is deliberately not told the sample rate: it keeps the framework's
    // 44.1 kHz tunings, so at other rates it sounds proportionally larger or smaller.
    reverbParams = voiceRoom();
    reverb.setParameters (reverbParams);
    reset();
    reverbScratch.setSize (std::max (1, setup.numChannels), setup.maximumBlockSize);
}

void ReverbBlend::reset()
{
    reverb.reset();
}

void ReverbBlend::process (juce::AudioBuffer<float>& buffer, const Settings& settings) noexcept
{
    const auto reverbMix = blendFromPercent (settings.mixPercent);

    if (reverbMix > 0.0f)
        blend (buffer, reverbMix);
}

void ReverbBlend::blend (juce::AudioBuffer<float>& buffer, float reverbMix) noexcept
{
    const auto numSamples = buffer.getNumSamples();
    const auto numChannels = buffer.getNumChannels();

    // Allocation-free while the block fits what prepare reserved.
    reverbScratch.makeCopyOf (buffer, true);

    if (numChannels >= 2)
        reverb.processStereo (reverbScratch.getWritePointer (0), reverbScratch.getWritePointer (1), numSamples);
    else
        reverb.processMono (reverbScratch.getWritePointer (0), numSamples);

    for (int c = 0; c < numChannels; ++c)
    {
        auto* samples = buffer.getWritePointer (c);
        const auto* wet = reverbScratch.getReadPointer (c);

        for (int i = 0; i < numSamples; ++i)
            samples[i] = samples[i] * (1.0f - reverbMix) + wet[i] * reverbMix;
    }
}

} // namespace halvora
