#include "EchoStage.h"

#include <algorithm>
#include <cmath>

namespace halvora
{

void EchoStage::prepare (double newSampleRate, int numChannels)
{
    sampleRate = newSampleRate;
    const auto echoLength = static_cast<int> (std::ceil (static_cast<double> (maxEchoSeconds) * sampleRate));
    echoBuffer.setSize (numChannels, std::max (0, echoLength));
    reset();
}

void EchoStage::reset() noexcept
{
    echoBuffer.clear();
    echoWritePos = 0;
}

void EchoStage::process (juce::AudioBuffer<float>& buffer, float echoMix) noexcept
{
    const auto length = echoBuffer.getNumSamples();

    if (length < 1)
        return;

    const auto delay = [this, length] {
        const auto d = std::round (sampleRate * 0.35);
        return d <= 0.0 ? 1 : static_cast<int> (std::min (d, static_cast<double> (length - 1)));
    }();

    const auto numSamples = buffer.getNumSamples();
    const auto start = echoWritePos;
    auto w = start;

    // Each channel has its own line; a channel beyond the lines (no accepted layout has
    // one) passes without echo.
    const auto channels = std::min (buffer.getNumChannels(), echoBuffer.getNumChannels());

    for (int c = 0; c < channels; ++c)
    {
        auto* samples = buffer.getWritePointer (c);
        auto* line = echoBuffer.getWritePointer (c);
        w = start;

        for (int i = 0; i < numSamples; ++i)
        {
            // The read position (w + length - delay) mod length, by comparison: both w and
            // the delay lie below the line's length, so one wrap is all it can need.
            const auto x = samples[i];
            auto r = w - delay;
            if (r < 0)
                r += length;

            const auto e = line[r];
            line[w] = e * 0.3f + x;
            samples[i] = x * (1.0f - echoMix) + e * echoMix;

            if (++w == length)
                w = 0;
        }
    }

    echoWritePos = static_cast<int> ((static_cast<juce::int64> (start) + numSamples) % length);
}

} // namespace halvora
