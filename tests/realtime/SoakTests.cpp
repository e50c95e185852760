// Half an hour of singing with a restless host: automation of every parameter and the
// ON-button target, block sizes from 1 to 4096, re-preparation at other rates, and
// bursts of silence, full-scale noise, DC and denormal-level input.

#include "AllocationCounter.h"
#include "helpers/TestHelpers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace
{

/** Output bound for inputs within [-1, 1]. The tone stage's band weights give at most
    lowWeight + 2 * highWeight = 3.8 (Soprano), the vibrato at most 1.5 and the gain
    at most 10^(24/20) = 15.85, so 90.3. The echo's feedback of 0.3 lets its lines grow
    to 1 / 0.7 of that: 129. The framework reverb adds twice its input dry, plus three
    times a wet path of eight combs (feedback 0.868, so at most 7.6 times their input of
    0.015 times the two channels' sum) through four all-passes (at most 3 times each):
    under 445 times its input. 129 * 445 is about 57,400.
*/
constexpr float outputBound = 6.0e4f;

double soakSeconds()
{
    if (const auto* text = std::getenv ("HALVORA_SOAK_SECONDS"))
        return juce::jmax (1.0, std::atof (text));

    return 30.0 * 60.0;
}

/** A voice-like source with occasional hostile bursts. */
class SoakSignal
{
public:
    void fill (juce::AudioBuffer<float>& block, double sampleRate, juce::Random& random)
    {
        if (remaining <= 0)
        {
            kind = random.nextInt (10); // mostly voice
            remaining = 1 + random.nextInt (static_cast<int> (sampleRate));
        }

        for (int i = 0; i < block.getNumSamples(); ++i)
        {
            float left = 0.0f, right = 0.0f;

            switch (kind)
            {
                case 0: break; // silence
                case 1:
                    left = random.nextFloat() * 2.0f - 1.0f; // full-scale noise
                    right = random.nextFloat() * 2.0f - 1.0f;
                    break;
                case 2: left = right = 1.0f; break;                           // DC
                case 3: left = right = (i & 1) ? 1.0e-39f : -1.0e-39f; break; // denormal level
                default:
                {
                    vibrato += 2.0 * juce::MathConstants<double>::pi * 5.5 / sampleRate;
                    phase += 2.0 * juce::MathConstants<double>::pi * (220.0 + 8.0 * std::sin (vibrato)) / sampleRate;
                    const auto v = 0.5 * std::sin (phase) + 0.2 * std::sin (2.0 * phase) + 0.1 * std::sin (3.0 * phase);
                    left = static_cast<float> (v);
                    right = static_cast<float> (0.8 * v);
                }
            }

            block.setSample (0, i, left);
            if (block.getNumChannels() > 1)
                block.setSample (1, i, right);
        }

        remaining -= block.getNumSamples();
    }

private:
    int kind = 9, remaining = 0;
    double phase = 0.0, vibrato = 0.0;
};

} // namespace

TEST (Soak, HalfAnHourOfRestlessHostStaysFiniteBoundedAndAllocationFree)
{
    HalvoraAudioProcessor processor;
    const auto params = processor.getParameters();
    juce::Random random (20261210);
    SoakSignal signal;

    const double rates[] { 22050.0, 44100.0, 48000.0, 88200.0, 96000.0, 192000.0 };
    const int maxBlocks[] { 256, 512, 1024, 2048 };

    double sampleRate = 44100.0;
    int maxBlock = 2048;
    processor.prepareToPlay (sampleRate, maxBlock);

    juce::AudioBuffer<float> block (2, 4096);
    juce::MidiBuffer midi;
    double audioSeconds = 0.0;
    int allocations = 0, nonFinite = 0, blocks = 0, preparations = 1;
    float loudest = 0.0f;

    while (audioSeconds < soakSeconds())
    {
        // Every few blocks the host automates everything.
        if (random.nextInt (4) == 0)
        {
            for (auto* p : params)
                p->setValueNotifyingHost (random.nextFloat());

            processor.setActiveMvTarget (static_cast<HalvoraAudioProcessor::MvTarget> (random.nextInt (5)));
        }

        // Now and then the host restarts at another rate and block size.
        if (random.nextInt (2000) == 0)
        {
            sampleRate = rates[random.nextInt (6)];
            maxBlock = maxBlocks[random.nextInt (4)];
            processor.prepareToPlay (sampleRate, maxBlock);
            ++preparations;
        }

        // Blocks from 1 sample up to twice the announced size, all fitting what was prepared.
        const auto n = 1 + random.nextInt (juce::jmin (4096, 2 * maxBlock));
        block.setSize (2, n, false, false, true);
        signal.fill (block, sampleRate, random);

        AllocationCounter::start();
        processor.processBlock (block, midi);
        allocations += AllocationCounter::stop();

        for (int c = 0; c < 2; ++c)
        {
            for (int i = 0; i < n; ++i)
            {
                const auto y = block.getSample (c, i);
                if (! std::isfinite (y))
                    ++nonFinite;
                else
                    loudest = juce::jmax (loudest, std::abs (y));
            }
        }

        audioSeconds += n / sampleRate;
        ++blocks;
    }

    std::cout << "soak: " << audioSeconds << " s of audio in " << blocks << " blocks, " << preparations
              << " preparations, loudest sample " << loudest << "\n";

    EXPECT_EQ (nonFinite, 0);
    EXPECT_LE (loudest, outputBound);
    EXPECT_EQ (allocations, 0);

    // Prepared again, the processor does exactly what a fresh one does.
    for (auto* p : params)
        p->setValueNotifyingHost (p->getDefaultValue());
    processor.setActiveMvTarget (HalvoraAudioProcessor::MvTarget::keyButton);
    processor.prepareToPlay (44100.0, 512);

    HalvoraAudioProcessor fresh;
    fresh.setActiveMvTarget (HalvoraAudioProcessor::MvTarget::keyButton);
    fresh.prepareToPlay (44100.0, 512);

    const auto reference = testutil::makeTestSignal (2, 512, 44100.0, 8);
    auto afterSoak = reference, fromFresh = reference;
    processor.processBlock (afterSoak, midi);
    fresh.processBlock (fromFresh, midi);

    for (int c = 0; c < 2; ++c)
        EXPECT_EQ (std::memcmp (afterSoak.getReadPointer (c), fromFresh.getReadPointer (c), 512 * sizeof (float)), 0) << c;
}
