#include "dsp/stages/EchoStage.h"
#include "helpers/EchoFigures.h"
#include "helpers/StageAccess.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace
{
/** The echo written out plainly: read position by modulo, one sample at a time. */
struct PlainEcho
{
    PlainEcho (int channels, int length, int delayInSamples)
        : lines (static_cast<size_t> (channels), std::vector<float> (static_cast<size_t> (length))),
          delay (delayInSamples)
    {
    }

    void process (juce::AudioBuffer<float>& buffer, float mix)
    {
        const auto length = static_cast<int> (lines[0].size());
        const auto start = w;

        for (int c = 0; c < buffer.getNumChannels(); ++c)
        {
            auto* samples = buffer.getWritePointer (c);
            auto& line = lines[static_cast<size_t> (c)];
            w = start;

            for (int i = 0; i < buffer.getNumSamples(); ++i)
            {
                const auto x = samples[i];
                const auto e = line[static_cast<size_t> ((w + length - delay) % length)];
                line[static_cast<size_t> (w)] = e * 0.3f + x;
                samples[i] = x * (1.0f - mix) + e * mix;
                w = (w + 1) % length;
            }
        }
    }

    std::vector<std::vector<float>> lines;
    int delay;
    int w = 0;
};

struct EchoRunCase
{
    const char* name;
    double sampleRate;
    int lineLength; // 0 keeps the length prepare gives (one second)
    int expectedDelay;
    std::vector<int> blockLengths;
};

class EchoRuns : public testing::TestWithParam<std::tuple<EchoRunCase, int>>
{
};

juce::AudioBuffer<float> noise (int channels, int numSamples, unsigned seed)
{
    std::mt19937 rng (seed);
    std::uniform_real_distribution<float> sample (-1.0f, 1.0f);
    juce::AudioBuffer<float> block (channels, numSamples);

    for (int c = 0; c < channels; ++c)
        for (int i = 0; i < numSamples; ++i)
            block.setSample (c, i, sample (rng));

    return block;
}

bool sameBits (const float* a, const float* b, int n) { return std::memcmp (a, b, static_cast<size_t> (n) * sizeof (float)) == 0; }
} // namespace

TEST_P (EchoRuns, MatchThePlainPerSampleEchoBitForBit)
{
    const auto& [echoCase, channels] = GetParam();

    halvora::EchoStage echo;
    echo.prepare ({ echoCase.sampleRate, 0, channels });
    auto& lines = halvora::StageAccess::echoBuffer (echo);

    if (echoCase.lineLength > 0)
    {
        lines.setSize (channels, echoCase.lineLength);
        echo.reset();
    }

    const auto length = lines.getNumSamples();
    PlainEcho plain (channels, length, echoCase.expectedDelay);
    unsigned seed = 1;

    for (const auto percent : { 60.0f, 100.0f })
    {
        const auto mix = percent / 100.0f;

        for (const auto blockLength : echoCase.blockLengths)
        {
            auto actual = noise (channels, blockLength, seed++);
            auto expected = actual;
            echo.process (actual, { percent });
            plain.process (expected, mix);

            for (int c = 0; c < channels; ++c)
            {
                ASSERT_TRUE (sameBits (actual.getReadPointer (c), expected.getReadPointer (c), blockLength))
                    << "block of " << blockLength << ", channel " << c;
                ASSERT_TRUE (sameBits (lines.getReadPointer (c), plain.lines[static_cast<size_t> (c)].data(), length))
                    << "line after a block of " << blockLength;
            }

            ASSERT_EQ (halvora::StageAccess::echoWritePos (echo), plain.w);
        }
    }
}

// Lines set by hand keep the delay of their rate (round (0.35 rate)) unless that reaches
// the line's end, where it stops one short.
const EchoRunCase echoRunCases[] {
    // One-sample line: the delay of one reads the place it writes.
    { "lineOfOne", 0.5, 0, 1, { 1, 2, 5 } },
    // Delay 1, the minimum: every sample hears the one before.
    { "delayOneLineOfTwo", 2.0, 0, 1, { 1, 2, 3, 7 } },
    { "delayOneLineOfFour", 4.0, 0, 1, { 1, 3, 4, 5, 9 } },
    // Delay one short of the line: the read runs just ahead of the write.
    { "delayJustBelowTheLine", 1000.0, 351, 350, { 1, 349, 350, 351, 352, 700, 1000, 77 } },
    { "delayNearTheLine", 1000.0, 360, 350, { 5, 350, 361, 720, 1, 999 } },
    // A delay longer than half the line, shorter than it.
    { "delayOverHalfTheLine", 1000.0, 600, 350, { 17, 349, 350, 351, 600, 1201, 3 } },
    // The delay the plug-in runs at, with blocks across the wrap and longer than the delay.
    { "rate1000", 1000.0, 0, 350, { 1, 349, 350, 351, 4096, 1000, 77, 2500 } },
    { "rate44100", 44100.0, 0, echoDelayAt44100, { 512, 512, echoDelayAt44100, echoDelayAt44100 + 1, 30000, 333, 44100, 4097 } },
};

INSTANTIATE_TEST_SUITE_P (DelaysAndBlocks, EchoRuns, testing::Combine (testing::ValuesIn (echoRunCases), testing::Values (1, 2, 3)),
                          [] (const auto& testInfo) {
                              return std::string (std::get<0> (testInfo.param).name) + "_" + std::to_string (std::get<1> (testInfo.param)) + "ch";
                          });
