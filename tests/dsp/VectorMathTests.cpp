#include "dsp/MathSweep.h"
#include "dsp/kernels/VectorMath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

using mathsweep::Function;
using namespace halvora;

//==============================================================================
/** A stretch of float bit patterns, walked every stride-th pattern. The whole sweep of
    every float is `make verify-math`; here every few-thousandth float, and every float
    near the places where the algorithms change branch.
*/
struct SweepCase
{
    const char* label;
    Function function;
    std::uint32_t first, last, stride;
};

void PrintTo (const SweepCase& c, std::ostream* os) { *os << mathsweep::name (c.function) << " " << c.label; }

class VectorMathSweep : public testing::TestWithParam<SweepCase>
{
};

TEST_P (VectorMathSweep, StaysWithinOneUlpOfTheCLibraryOnEveryPath)
{
    const auto& c = GetParam();
    const auto result = mathsweep::sweep (c.function, c.first, c.last, c.stride);

    EXPECT_GT (result.checked, 0u);
    EXPECT_LE (result.worstUlps, 1) << "worst at " << result.worstArgument;
    EXPECT_EQ (result.pathMismatches, 0u) << "first at " << result.firstPathMismatch;
}

/** Every float within `radius` patterns of the float `centre` (both signs are walked by
    the caller giving negative centres).
*/
SweepCase around (const char* label, Function f, float centre, std::uint32_t radius = 4096)
{
    const auto bits = mathsweep::floatToBits (centre);
    return { label, f, bits - radius, bits + radius, 1 };
}

INSTANTIATE_TEST_SUITE_P (
    Ranges, VectorMathSweep,
    testing::Values (
        // tanh takes any float: drive times any sample.
        SweepCase { "every positive float, sparsely", Function::tanh, 0x00000000u, 0x7fffffffu, 2039 },
        SweepCase { "every negative float, sparsely", Function::tanh, 0x80000000u, 0xffffffffu, 2053 },
        SweepCase { "the voice's range densely", Function::tanh, mathsweep::floatToBits (0.001f), mathsweep::floatToBits (5.0f), 61 },
        around ("where tanh (x) becomes x", Function::tanh, 0x1p-55f),
        around ("where expm1 returns its argument", Function::tanh, 0x1p-26f),
        around ("at half of ln 2 / 2", Function::tanh, 0.1732868f),
        around ("at 1.5 ln 2 / 2", Function::tanh, 0.5198603f),
        around ("at 1", Function::tanh, 1.0f),
        around ("at -1", Function::tanh, -1.0f),
        around ("at 23 ln 2 / 2", Function::tanh, 7.9710f),
        around ("at 56 ln 2 / 2", Function::tanh, 19.408f),
        around ("at 22", Function::tanh, 22.0f),
        around ("at infinity", Function::tanh, std::numeric_limits<float>::infinity()),
        // The vibrato's phases, and beyond them to both sides.
        SweepCase { "the vibrato's phases", Function::sin, mathsweep::zeroBits, mathsweep::twoPiBits, 307 },
        SweepCase { "up to the limit", Function::sin, mathsweep::twoPiBits, mathsweep::floatToBits (VectorMath::sinLimit), 1009 },
        SweepCase { "negative phases to the limit", Function::sin, 0x80000000u, mathsweep::floatToBits (-VectorMath::sinLimit), 1013 },
        SweepCase { "beyond the limit (the C library's own)", Function::sin, mathsweep::floatToBits (VectorMath::sinLimit), 0x7fffffffu, 4099 },
        around ("at pi / 2", Function::sin, 1.5707964f),
        around ("at pi", Function::sin, 3.1415927f),
        around ("at 3 pi / 2", Function::sin, 4.712389f),
        around ("at 2 pi", Function::sin, 6.2831855f),
        around ("just after a wrap to 0", Function::sin, 0x1p-20f)));

//==============================================================================
TEST (VectorMath, SpecialValuesAreTheCLibrarys)
{
    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();

    for (auto path : VectorPaths::all)
    {
        if (! VectorPaths::isAvailable (path))
            continue;

        SCOPED_TRACE (VectorPaths::name (path));
        const std::vector<float> in { 0.0f, -0.0f, inf, -inf, nan, std::numeric_limits<float>::denorm_min(), -1.0e-40f, 3.0e38f };
        std::vector<float> tanhs (in.size()), sines (in.size());
        VectorMath::tanh (in.data(), tanhs.data(), static_cast<int> (in.size()), path);
        VectorMath::sin (in.data(), sines.data(), static_cast<int> (in.size()), path);

        for (size_t i = 0; i < in.size(); ++i)
        {
            SCOPED_TRACE (in[i]);
            EXPECT_EQ (mathsweep::ulpDistance (tanhs[i], std::tanh (in[i])), 0);
            EXPECT_EQ (mathsweep::ulpDistance (sines[i], std::sin (in[i])), 0);
            EXPECT_EQ (std::signbit (tanhs[i]), std::signbit (std::tanh (in[i])));
        }
    }
}

TEST (VectorMath, EveryPathGivesTheScalarBitsForAnyLengthInPlaceOrNot)
{
    // Lengths around every path's vector width, so each path's partial last vector is
    // exercised; samples from silence to far beyond full scale.
    std::mt19937 random (7);
    std::uniform_real_distribution<float> sample (-40.0f, 40.0f);
    std::vector<float> in (1100);

    for (auto& x : in)
        x = sample (random);

    for (const auto length : { 0, 1, 2, 3, 5, 7, 8, 9, 15, 16, 17, 31, 33, 255, 256, 1099 })
    {
        for (auto function : { Function::tanh, Function::sin })
        {
            std::vector<float> expected (in.size(), -7.0f);
            mathsweep::vectorValues (function, in.data(), expected.data(), length, VectorPath::scalar);

            for (auto path : VectorPaths::all)
            {
                if (! VectorPaths::isAvailable (path))
                    continue;

                std::vector<float> out (in.size(), -7.0f), inPlace (in);
                mathsweep::vectorValues (function, in.data(), out.data(), length, path);
                mathsweep::vectorValues (function, inPlace.data(), inPlace.data(), length, path);

                for (int i = 0; i < length; ++i)
                {
                    const auto k = static_cast<size_t> (i);
                    ASSERT_EQ (mathsweep::floatToBits (out[k]), mathsweep::floatToBits (expected[k]))
                        << mathsweep::name (function) << " " << VectorPaths::name (path) << " length " << length << " at " << i;
                    ASSERT_EQ (mathsweep::floatToBits (inPlace[k]), mathsweep::floatToBits (expected[k]));
                }

                // Nothing past the length is touched.
                EXPECT_EQ (out[static_cast<size_t> (length)], -7.0f);
            }
        }
    }
}

TEST (VectorMath, TheDefaultPathIsOneThisProcessorRuns)
{
    EXPECT_TRUE (VectorPaths::isAvailable (VectorPaths::fastestAvailable()));
    EXPECT_TRUE (VectorPaths::isAvailable (VectorPath::scalar));
}
