#include "dsp/HalvingLowPass.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace
{
struct LowPassCase
{
    const char* label;
    float startState;
    std::vector<float> input;
};

void PrintTo (const LowPassCase& c, std::ostream* os) { *os << c.label; }

std::uint32_t bitsOf (float f)
{
    std::uint32_t b;
    std::memcpy (&b, &f, sizeof (b));
    return b;
}

std::vector<float> voice (int n, float level, unsigned seed)
{
    std::mt19937 random (seed);
    std::normal_distribution<float> noise (0.0f, 0.05f);
    std::vector<float> v (static_cast<size_t> (n));

    for (int i = 0; i < n; ++i)
        v[static_cast<size_t> (i)] = level * (std::sin (0.031f * static_cast<float> (i)) + noise (random));

    return v;
}

std::vector<float> concat (std::vector<float> a, const std::vector<float>& b)
{
    a.insert (a.end(), b.begin(), b.end());
    return a;
}

class HalvingLowPassBits : public testing::TestWithParam<LowPassCase>
{
};

TEST_P (HalvingLowPassBits, GivesThePlainLoopsBitsAtEveryLength)
{
    const auto& c = GetParam();

    for (const auto n : { 0, 1, 2, 31, 32, 33, 63, 64, 65, 200, 256 })
    {
        if (static_cast<size_t> (n) > c.input.size())
            continue;

        // The plain loop, as the tone stage defines its filter.
        std::vector<float> expected (static_cast<size_t> (n));
        auto lp = c.startState;

        for (int i = 0; i < n; ++i)
            expected[static_cast<size_t> (i)] = lp = (lp + c.input[static_cast<size_t> (i)]) * 0.5f;

        std::vector<float> lows (static_cast<size_t> (n) + 1, -3.0f), scratch (static_cast<size_t> (n) + 1);
        std::vector<int> besides;
        const auto state = halvora::HalvingLowPass::run (c.input.data(), lows.data(), scratch.data(), n, c.startState, n / 2,
                                                         [&besides] (int i) { besides.push_back (i); });

        for (int i = 0; i < n; ++i)
            ASSERT_EQ (bitsOf (lows[static_cast<size_t> (i)]), bitsOf (expected[static_cast<size_t> (i)])) << "length " << n << ", sample " << i;

        EXPECT_EQ (bitsOf (state), bitsOf (n > 0 ? expected.back() : c.startState)) << "length " << n;
        EXPECT_EQ (lows[static_cast<size_t> (n)], -3.0f) << "wrote past the end";
        ASSERT_EQ (besides.size(), static_cast<size_t> (n / 2));

        for (size_t i = 0; i < besides.size(); ++i)
            EXPECT_EQ (besides[i], static_cast<int> (i));
    }
}

const float tiny = std::numeric_limits<float>::denorm_min();

INSTANTIATE_TEST_SUITE_P (
    Signals, HalvingLowPassBits,
    testing::Values (LowPassCase { "a voice", 0.0f, voice (256, 0.8f, 1) },
                     LowPassCase { "a voice from a loud state", 3.0f, voice (256, 0.3f, 2) },
                     LowPassCase { "silence after a voice, decaying towards subnormals", 0.5f,
                                   concat (voice (40, 1.0f, 3), std::vector<float> (216, 0.0f)) },
                     LowPassCase { "a state already near the subnormal range", 1.5e-38f, std::vector<float> (256, 0.0f) },
                     LowPassCase { "subnormal input", 0.0f, std::vector<float> (256, 7.0f * tiny) },
                     LowPassCase { "subnormal input of both signs", 2.0e-38f,
                                   concat (std::vector<float> (128, 3.0f * tiny), std::vector<float> (128, -5.0f * tiny)) },
                     LowPassCase { "huge input, near overflow when scaled", 0.0f, voice (256, 2.0e36f, 4) },
                     LowPassCase { "the largest floats", 3.0e38f, std::vector<float> (256, std::numeric_limits<float>::max()) },
                     LowPassCase { "a quiet voice ending in exact zeros", 0.0f,
                                   concat (voice (100, 1.0e-30f, 5), std::vector<float> (156, 0.0f)) },
                     LowPassCase { "a sum that cancels to zero", 1.0f, concat (std::vector<float> (1, -1.0f), voice (255, 0.5f, 6)) }));
} // namespace
