#include "TestSignals.h"

#include <cmath>

namespace testutil
{

juce::AudioBuffer<float> makeTestSignal (int numChannels, int numSamples, double sampleRate, juce::uint32 seed)
{
    juce::AudioBuffer<float> buffer (numChannels, numSamples);
    juce::Random random (static_cast<juce::int64> (seed));

    for (int c = 0; c < numChannels; ++c)
    {
        const auto f0 = 180.0 + 37.0 * c + 11.0 * seed;
        for (int i = 0; i < numSamples; ++i)
        {
            const auto t = i / sampleRate;
            const auto v = 0.4 * std::sin (2.0 * juce::MathConstants<double>::pi * f0 * t)
                         + 0.15 * std::sin (2.0 * juce::MathConstants<double>::pi * 3.0 * f0 * t)
                         + 0.05 * (random.nextDouble() * 2.0 - 1.0);
            buffer.setSample (c, i, static_cast<float> (v));
        }
    }

    return buffer;
}

} // namespace testutil
