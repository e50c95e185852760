#include "EchoStage.h"

#include <algorithm>
#include <cmath>

namespace halvora
{

void EchoStage::prepare (const StageSetup& setup)
{
    sampleRate = setup.sampleRate;
    const auto echoLength = static_cast<int> (std::ceil (static_cast<double> (maxEchoSeconds) * sampleRate));
    echoBuffer.setSize (setup.numChannels, std::max (0, echoLength));
    reset();
}

void EchoStage::reset() noexcept
{
    echoBuffer.clear();
    echoWritePos = 0;
}

namespace
{
    /** A run of samples in which no sample reads what another writes: the line is read at
        `read` and written at `write`, two stretches that do not overlap, so the compiler may
        run the samples side by side. Each sample's arithmetic is the plain per-sample one.
    */
    void echoRun (float* __restrict samples, const float* __restrict read, float* __restrict write, int count, float echoMix,
                  float dryMix) noexcept
    {
        for (int i = 0; i < count; ++i)
        {
            const auto x = samples[i];
            const auto e = read[i];
            write[i] = e * EchoStage::repeatLevel + x;
            samples[i] = x * dryMix + e * echoMix;
        }
    }
} // namespace

void EchoStage::process (juce::AudioBuffer<float>& buffer, const Settings& settings) noexcept
{
    const auto echoMix = blendFromPercent (settings.mixPercent);

    if (echoMix > 0.0f)
        blend (buffer, echoMix);
}

void EchoStage::blend (juce::AudioBuffer<float>& buffer, float echoMix) noexcept
{
    const auto length = echoBuffer.getNumSamples();

    if (length < 1)
        return;

    const auto delay = [this, length] {
        const auto d = std::round (sampleRate * echoSeconds);
        return d <= 0.0 ? 1 : static_cast<int> (std::min (d, static_cast<double> (length - 1)));
    }();

    const auto numSamples = buffer.getNumSamples();
    const auto start = echoWritePos;
    const auto dryMix = 1.0f - echoMix;

    // Each channel has its own line; a channel beyond the lines (no accepted layout has
    // one) passes without echo.
    const auto channels = std::min (buffer.getNumChannels(), echoBuffer.getNumChannels());

    for (int c = 0; c < channels; ++c)
    {
        auto* samples = buffer.getWritePointer (c);
        auto* line = echoBuffer.getWritePointer (c);
        auto w = start;

        for (int i = 0; i < numSamples;)
        {
            // The read position (w + length - delay) mod length, by comparison: both w and
            // the delay lie below the line's length, so one wrap is all it can need.
            auto r = w - delay;
            if (r < 0)
                r += length;

            // The run goes on until either position wraps, and no further than the gap
            // from the write position forward to the read position: behind it a sample
            // would read what this run wrote (the repeat of a repeat), ahead of it the
            // two stretches would share samples. A one-sample line has no gap (it reads
            // and writes the same place), so there the run is one sample.
            const auto gap = r < w ? w - r : r - w;
            const auto run = std::max (1, std::min ({ numSamples - i, length - w, length - r, gap }));

            if (run == 1)
            {
                const auto x = samples[i];
                const auto e = line[r];
                line[w] = e * EchoStage::repeatLevel + x;
                samples[i] = x * dryMix + e * echoMix;
            }
            else
            {
                echoRun (samples + i, line + r, line + w, run, echoMix, dryMix);
            }

            i += run;
            w += run;

            if (w == length)
                w = 0;
        }
    }

    echoWritePos = static_cast<int> ((static_cast<juce::int64> (start) + numSamples) % length);
}

} // namespace halvora
