#include "dsp/kernels/BlockResampler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace
{
/** The replay written out plainly, one sample at a time. */
std::vector<float> plainReplay (const std::vector<float>& copy, float ratio)
{
    const auto numSamples = static_cast<int> (copy.size());
    const auto last = numSamples - 1;
    std::vector<float> out (copy.size());

    for (int m = 0; m < numSamples; ++m)
    {
        const auto pos = static_cast<float> (m) * ratio;

        if (pos >= static_cast<float> (last))
        {
            out[static_cast<size_t> (m)] = copy[static_cast<size_t> (last)];
        }
        else
        {
            const auto i0 = static_cast<int> (pos);
            const auto frac = pos - static_cast<float> (i0);
            const auto i1 = std::min (i0 + 1, last);
            out[static_cast<size_t> (m)] = (copy[static_cast<size_t> (i1)] - copy[static_cast<size_t> (i0)]) * frac + copy[static_cast<size_t> (i0)];
        }
    }

    return out;
}

/** A voice-like block with large and tiny values mixed in, ending on -0 so that a
    fill of the end that computed instead of copying would show (+0 instead of -0).
*/
std::vector<float> testBlock (int numSamples)
{
    std::mt19937 rng (static_cast<unsigned> (numSamples));
    std::uniform_real_distribution<float> sample (-1.0f, 1.0f);
    std::vector<float> block (static_cast<size_t> (numSamples));

    for (size_t i = 0; i < block.size(); ++i)
        block[i] = sample (rng) * (i % 7 == 3 ? 1.0e4f : i % 11 == 5 ? 1.0e-30f
                                                                     : 1.0f);

    block.back() = -0.0f;
    return block;
}

bool sameBits (const std::vector<float>& a, const std::vector<float>& b)
{
    return a.size() == b.size() && std::memcmp (a.data(), b.data(), a.size() * sizeof (float)) == 0;
}

struct ResamplerCase
{
    halvora::VectorPath path;
    float ratio;
    int numSamples;
};

std::vector<ResamplerCase> everyCase()
{
    std::vector<ResamplerCase> cases;

    for (const auto path : halvora::VectorPaths::all)
        if (halvora::VectorPaths::isAvailable (path))
            for (const auto ratio : { 0.5f, 0.7071f, 1.0001f, 1.5f, 2.0f })
                for (const auto numSamples : { 1, 2, 3, 17, 512, 4097 })
                    cases.push_back ({ path, ratio, numSamples });

    return cases;
}

class ResamplerPaths : public testing::TestWithParam<ResamplerCase>
{
};
} // namespace

TEST_P (ResamplerPaths, MatchThePlainFormulaBitForBit)
{
    const auto [path, ratio, numSamples] = GetParam();
    const auto copy = testBlock (numSamples);
    const auto expected = plainReplay (copy, ratio);

    std::vector<float> out (copy.size(), 99.0f);
    halvora::BlockResampler::replay (copy.data(), out.data(), numSamples, ratio, path);
    EXPECT_TRUE (sameBits (out, expected));

    // The fastest path, which the voice chain uses.
    std::vector<float> fastest (copy.size(), 99.0f);
    halvora::BlockResampler::replay (copy.data(), fastest.data(), numSamples, ratio);
    EXPECT_TRUE (sameBits (fastest, expected));

    // At or above the original speed the replay may run in place, as the chain runs it.
    if (ratio >= 1.0f)
    {
        auto block = copy;
        halvora::BlockResampler::replay (block.data(), block.data(), numSamples, ratio, path);
        EXPECT_TRUE (sameBits (block, expected));
    }
}

TEST_P (ResamplerPaths, ReadsNothingBeyondWhatItSaysItReads)
{
    // Everything past samplesRead is replaced by NaN: had the replay read any of it,
    // the output would differ from the replay of the whole block.
    const auto [path, ratio, numSamples] = GetParam();
    const auto whole = testBlock (numSamples);
    const auto expected = plainReplay (whole, ratio);

    const auto kept = halvora::BlockResampler::samplesRead (numSamples, ratio);
    ASSERT_GE (kept, std::min (numSamples, 2));
    ASSERT_LE (kept, numSamples);

    auto truncated = whole;
    std::fill (truncated.begin() + kept, truncated.end(), std::numeric_limits<float>::quiet_NaN());

    std::vector<float> out (whole.size());
    halvora::BlockResampler::replay (truncated.data(), out.data(), numSamples, ratio, path);
    EXPECT_TRUE (sameBits (out, expected));
}

INSTANTIATE_TEST_SUITE_P (RatiosAndLengths, ResamplerPaths, testing::ValuesIn (everyCase()), [] (const auto& testInfo) {
    const auto& c = testInfo.param;
    const auto ratioInTenThousandths = std::to_string (static_cast<int> (std::lround (c.ratio * 10000.0f)));
    return std::string (halvora::VectorPaths::name (c.path)) + "_ratio" + ratioInTenThousandths + "_length" + std::to_string (c.numSamples);
});

//==============================================================================
struct ReplayCase
{
    const char* name;
    float ratio;
    std::vector<float> expected; // in terms of x[i] = i + 1
};

class BlockReplay : public testing::TestWithParam<ReplayCase>
{
};

TEST_P (BlockReplay, InterpolatesFromTheBlocksFirstSample)
{
    const float x[] { 1, 2, 3, 4, 5, 6, 7, 8 };
    float out[8] {};
    halvora::BlockResampler::replay (x, out, 8, GetParam().ratio);
    EXPECT_EQ (std::vector<float> (out, out + 8), GetParam().expected);
}

const ReplayCase replayCases[] {
    { "double", 2.0f, { 1, 3, 5, 7, 8, 8, 8, 8 } },           // x0 x2 x4 x6 x7 x7 x7 x7
    { "half", 0.5f, { 1, 1.5f, 2, 2.5f, 3, 3.5f, 4, 4.5f } }, // x0, mean of x0 and x1, x1 ...
    { "unity", 1.0f, { 1, 2, 3, 4, 5, 6, 7, 8 } },
};

INSTANTIATE_TEST_SUITE_P (Worked, BlockReplay, testing::ValuesIn (replayCases),
                          [] (const auto& testInfo) { return std::string (testInfo.param.name); });

TEST (BlockReplay, OneSampleBlockIsItsOwnLastSample)
{
    const float x[] { 0.7f };
    float out[1] {};
    halvora::BlockResampler::replay (x, out, 1, 0.5f);
    EXPECT_EQ (out[0], 0.7f);
    halvora::BlockResampler::replay (x, out, 1, 2.0f);
    EXPECT_EQ (out[0], 0.7f);
}
