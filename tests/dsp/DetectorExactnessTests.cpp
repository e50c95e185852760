// The detector's fast kernels against the plain arithmetic, bit for bit: every kernel this
// processor can run, over random, sung and wide-range signals, every range, odd and even
// block sizes from 64 to 4096 and sample rates from 22050 to 192000 Hz.

#include "dsp/kernels/PitchDetector.h"
#include "HalvoraVocabulary.h"

#include <gtest/gtest.h>

#include <juce_core/juce_core.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace
{
//==============================================================================
// The reference: the detector's arithmetic written out the obvious way, one lag at a
// time, each sum a single chain in ascending j.

const halvora::VocalRange& rangeOf (int range) { return halvora::vocalRanges[static_cast<size_t> (range)]; }

struct ReferenceWindow
{
    int minLag, maxLag;
};

ReferenceWindow referenceWindow (int numSamples, double sr, int range)
{
    const float lowestSearched = std::max (40.0f, rangeOf (range).lowestHz);
    const float longestLag = static_cast<float> (sr / static_cast<double> (lowestSearched));
    const float highestSearched = std::min (static_cast<float> (0.45f * static_cast<float> (sr)), rangeOf (range).highestHz);
    const float shortestLag = static_cast<float> (sr / static_cast<double> (highestSearched));

    const int r1 = static_cast<int> (std::round (shortestLag));
    const int r2 = static_cast<int> (std::round (longestLag));
    const int half = numSamples / 2;

    const int minLag = r1 < 2 ? 2 : std::min (r1, half);
    const int maxLag = r2 < minLag + 2 ? minLag + 2 : std::min (half, r2);
    return { minLag, maxLag };
}

std::vector<double> referenceDifferences (const std::vector<float>& x, int minLag, int maxLag)
{
    const int numSamples = static_cast<int> (x.size());
    std::vector<double> diff (static_cast<size_t> (maxLag + 1), 0.0);

    for (int t = minLag; t <= maxLag; ++t)
    {
        double sum = 0.0;

        for (int j = 0; j <= numSamples - t - 1; ++j)
        {
            const double d = static_cast<double> (x[static_cast<size_t> (j)]) - static_cast<double> (x[static_cast<size_t> (j + t)]);
            sum = sum + d * d;
        }

        diff[static_cast<size_t> (t)] = sum;
    }

    return diff;
}

float referenceDetect (const std::vector<float>& x, double sr, int range)
{
    const int numSamples = static_cast<int> (x.size());

    if (numSamples < 64)
        return 0.0f;

    const auto [minLag, maxLag] = referenceWindow (numSamples, sr, range);

    if (maxLag <= minLag + 2)
        return 0.0f;

    const auto diff = referenceDifferences (x, minLag, maxLag);
    std::vector<double> cmnd (static_cast<size_t> (maxLag + 1), 0.0);
    double runningSum = 0.0;

    for (int t = minLag; t <= maxLag; ++t)
    {
        const int i = t - minLag;
        runningSum = runningSum + diff[static_cast<size_t> (t)];
        cmnd[static_cast<size_t> (t)] = runningSum > 0.0 ? (diff[static_cast<size_t> (t)] * (i + 1)) / runningSum : 1.0;
    }

    int chosen = -1;

    for (int t = minLag + 1; t <= maxLag - 1 && chosen < 0; ++t)
    {
        const auto c = cmnd[static_cast<size_t> (t)];

        if (c < 0.2 && c < cmnd[static_cast<size_t> (t - 1)] && c < cmnd[static_cast<size_t> (t + 1)])
            chosen = t;
    }

    if (chosen < 0)
    {
        double best = 1.0e9;
        chosen = minLag;

        for (int t = minLag; t <= maxLag; ++t)
        {
            if (cmnd[static_cast<size_t> (t)] < best)
            {
                best = cmnd[static_cast<size_t> (t)];
                chosen = t;
            }
        }
    }

    const float f = static_cast<float> (sr / chosen);

    if (f < rangeOf (range).lowestHz)
        return rangeOf (range).lowestHz;

    return std::min (f, rangeOf (range).highestHz);
}

//==============================================================================
enum class Signal
{
    noise,    // no period: the global-minimum fallback
    sung,     // a harmonic voice with vibrato inside the range: the threshold test
    wideRange // magnitudes from 1 down to 2^-60: squares that do not fit a double
              // exactly, so a fused multiply-add anywhere would show
};

std::vector<float> makeSignal (Signal kind, int numSamples, double sr, int range, juce::int64 seed)
{
    juce::Random random (seed);
    std::vector<float> x (static_cast<size_t> (numSamples));

    const auto f0 = std::sqrt (static_cast<double> (rangeOf (range).lowestHz) * rangeOf (range).highestHz)
                  * (0.8 + 0.4 * random.nextDouble());
    double phase = 0.0;

    for (int i = 0; i < numSamples; ++i)
    {
        auto& v = x[static_cast<size_t> (i)];

        switch (kind)
        {
            case Signal::noise:
                v = random.nextFloat() * 2.0f - 1.0f;
                break;

            case Signal::sung:
            {
                const auto t = i / sr;
                phase += 2.0 * juce::MathConstants<double>::pi * f0 * (1.0 + 0.01 * std::sin (2.0 * juce::MathConstants<double>::pi * 5.5 * t)) / sr;
                double s = 0.0;

                for (int h = 1; h <= 6; ++h)
                    s += std::sin (h * phase) / h;

                v = static_cast<float> (0.4 * s) + 0.01f * (random.nextFloat() - 0.5f);
                break;
            }

            case Signal::wideRange:
                v = std::ldexp (random.nextFloat() * 2.0f - 1.0f, -random.nextInt (61));
                break;
        }
    }

    return x;
}

bool sameBits (const std::vector<double>& a, const std::vector<double>& b)
{
    return a.size() == b.size() && std::memcmp (a.data(), b.data(), a.size() * sizeof (double)) == 0;
}

bool sameBits (float a, float b)
{
    return std::memcmp (&a, &b, sizeof (float)) == 0;
}

std::string kernelName (halvora::VectorPath kernel)
{
    return halvora::VectorPaths::name (kernel);
}
}

//==============================================================================
struct ExactnessCase
{
    halvora::VectorPath kernel;
    double sampleRate;

    friend void PrintTo (const ExactnessCase& c, std::ostream* os)
    {
        *os << halvora::VectorPaths::name (c.kernel) << " at " << c.sampleRate << " Hz";
    }
};

class DetectorExactness : public testing::TestWithParam<ExactnessCase>
{
};

TEST_P (DetectorExactness, DifferencesAndPitchMatchThePlainArithmetic)
{
    const auto [kernel, sampleRate] = GetParam();

    halvora::PitchDetector detector;
    detector.prepare (256); // most blocks below are larger: the arrays grow as they must

    if (! detector.useVectorPath (kernel))
        GTEST_SKIP() << kernelName (kernel) << " is not available on this processor";

    const int blockSizes[] { 64, 89, 90, 173, 174, 255, 333, 512, 701, 1024, 1537, 2048, 3001, 4095, 4096 };
    int compared = 0, detected = 0;

    for (auto numSamples : blockSizes)
        for (int range = 0; range < 5; ++range)
            for (auto kind : { Signal::noise, Signal::sung, Signal::wideRange })
            {
                const auto x = makeSignal (kind, numSamples, sampleRate, range, numSamples * 10 + range);
                const auto [minLag, maxLag] = referenceWindow (numSamples, sampleRate, range);
                const auto where = testing::Message() << numSamples << " samples, range " << range << ", signal "
                                                      << static_cast<int> (kind) << ", lags " << minLag << " to " << maxLag;

                const auto expected = referenceDifferences (x, minLag, maxLag);
                std::vector<double> actual (static_cast<size_t> (maxLag + 1), 0.0);
                detector.computeDifferences (x.data(), numSamples, minLag, maxLag, actual.data());
                EXPECT_TRUE (sameBits (actual, expected)) << where;

                const auto expectedHz = referenceDetect (x, sampleRate, range);
                const auto actualHz = detector.detect (x.data(), numSamples, sampleRate, range);
                EXPECT_TRUE (sameBits (actualHz, expectedHz)) << where << ": " << actualHz << " Hz, expected " << expectedHz;

                ++compared;
                detected += expectedHz > 0.0f ? 1 : 0;
            }

    EXPECT_EQ (compared, 15 * 5 * 3);
    EXPECT_GE (detected, compared / 3); // enough blocks are long enough to search
}

namespace
{
std::vector<ExactnessCase> everyKernelAndRate()
{
    std::vector<ExactnessCase> cases;

    for (auto kernel : halvora::VectorPaths::all)
        for (auto sampleRate : { 22050.0, 44100.0, 48000.0, 96000.0, 192000.0 })
            cases.push_back ({ kernel, sampleRate });

    return cases;
}
}

INSTANTIATE_TEST_SUITE_P (Kernels, DetectorExactness, testing::ValuesIn (everyKernelAndRate()),
                          [] (const testing::TestParamInfo<ExactnessCase>& test) {
                              return kernelName (test.param.kernel) + "_" + std::to_string (static_cast<int> (test.param.sampleRate));
                          });

//==============================================================================
class KernelShapes : public testing::TestWithParam<halvora::VectorPath>
{
};

TEST_P (KernelShapes, EveryLagGroupAndRaggedEndMatchThePlainSums)
{
    // Windows of every width from one lag to more than two groups of the widest kernel,
    // starting anywhere, up to and past the end of the block, so each kernel meets every
    // count of leftover lags and every ragged end.
    const auto kernel = GetParam();

    halvora::PitchDetector detector;

    if (! detector.useVectorPath (kernel))
        GTEST_SKIP() << kernelName (kernel) << " is not available on this processor";

    for (auto numSamples : { 64, 65, 97, 300 })
    {
        const auto x = makeSignal (Signal::wideRange, numSamples, 44100.0, 0, numSamples);

        for (auto minLag : { 0, 1, 2, 3, 5, 8, 13, 21, 31, 33 })
            for (auto maxLag = minLag; maxLag <= std::min (numSamples + 2, minLag + 70); ++maxLag)
            {
                const auto expected = referenceDifferences (x, minLag, maxLag);
                std::vector<double> actual (static_cast<size_t> (maxLag + 1), 0.0);
                detector.computeDifferences (x.data(), numSamples, minLag, maxLag, actual.data());
                EXPECT_TRUE (sameBits (actual, expected)) << numSamples << " samples, lags " << minLag << " to " << maxLag;
            }
    }
}

INSTANTIATE_TEST_SUITE_P (Kernels, KernelShapes, testing::ValuesIn (halvora::VectorPaths::all),
                          [] (const testing::TestParamInfo<halvora::VectorPath>& test) { return kernelName (test.param); });

TEST (DifferenceKernels, TheDefaultIsTheFastestTheProcessorRuns)
{
    halvora::PitchDetector detector;
    EXPECT_EQ (detector.getVectorPath(), halvora::VectorPaths::fastestAvailable());
    EXPECT_TRUE (halvora::VectorPaths::isAvailable (detector.getVectorPath()));
    EXPECT_TRUE (halvora::VectorPaths::isAvailable (halvora::VectorPath::scalar));

    for (auto kernel : halvora::VectorPaths::all)
    {
        const auto before = detector.getVectorPath();
        EXPECT_EQ (detector.useVectorPath (kernel), halvora::VectorPaths::isAvailable (kernel));
        EXPECT_EQ (detector.getVectorPath(), halvora::VectorPaths::isAvailable (kernel) ? kernel : before);
    }
}
