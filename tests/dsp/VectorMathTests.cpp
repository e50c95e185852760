#include "dsp/MathSweep.h"
#include "dsp/kernels/VectorMath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
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

TEST_P (VectorMathSweep, KeepsWhatTheHeaderPromisesOnEveryPath)
{
    const auto& c = GetParam();
    const auto result = mathsweep::sweep (c.function, c.first, c.last, c.stride);

    EXPECT_GT (result.checked, 0u);
    EXPECT_EQ (result.broken, 0u) << "first at " << result.firstBroken << " (bits " << std::hex << mathsweep::floatToBits (result.firstBroken) << ")";
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
        around ("at minus infinity", Function::tanh, -std::numeric_limits<float>::infinity()),
        SweepCase { "zero and the smallest denormals", Function::tanh, 0x00000000u, 0x00001000u, 1 },
        SweepCase { "minus zero and the smallest negative denormals", Function::tanh, 0x80000000u, 0x80001000u, 1 },
        // The vibrato's phases, and beyond them to both sides.
        SweepCase { "the vibrato's phases", Function::sin, mathsweep::zeroBits, mathsweep::twoPiBits, 307 },
        SweepCase { "up to the limit", Function::sin, mathsweep::twoPiBits, mathsweep::floatToBits (VectorMath::sinLimit), 1009 },
        SweepCase { "negative phases to the limit", Function::sin, 0x80000000u, mathsweep::floatToBits (-VectorMath::sinLimit), 1013 },
        SweepCase { "beyond the limit (the C library's own)", Function::sin, mathsweep::floatToBits (VectorMath::sinLimit), 0x7fffffffu, 4099 },
        SweepCase { "beyond minus the limit", Function::sin, mathsweep::floatToBits (-VectorMath::sinLimit), 0xffffffffu, 4111 },
        around ("at the limit", Function::sin, VectorMath::sinLimit),
        around ("at minus the limit", Function::sin, -VectorMath::sinLimit),
        around ("at infinity", Function::sin, std::numeric_limits<float>::infinity()),
        around ("at minus infinity", Function::sin, -std::numeric_limits<float>::infinity()),
        SweepCase { "zero and the smallest denormals", Function::sin, 0x00000000u, 0x00001000u, 1 },
        SweepCase { "minus zero and the smallest negative denormals", Function::sin, 0x80000000u, 0x80001000u, 1 },
        around ("at pi / 2", Function::sin, 1.5707964f),
        around ("at pi", Function::sin, 3.1415927f),
        around ("at 3 pi / 2", Function::sin, 4.712389f),
        around ("at 2 pi", Function::sin, 6.2831855f),
        around ("just after a wrap to 0", Function::sin, 0x1p-20f)));

//==============================================================================
/** One argument whose results are known exactly, as bit patterns: zeros, denormals,
    infinities, NaNs and the sine's limit. The sines at and beyond the limit are sin
    rounded to the nearest float, worked out in 300-bit arithmetic.
*/
struct SpecialValue
{
    const char* label;
    std::uint32_t x, tanh;
    std::optional<std::uint32_t> sin; // none: a NaN, the C library's (its bits are checked through keepsPromise)
};

void PrintTo (const SpecialValue& v, std::ostream* os) { *os << v.label; }

class VectorMathSpecialValue : public testing::TestWithParam<SpecialValue>
{
};

TEST_P (VectorMathSpecialValue, GivesTheExactBitsOnEveryPath)
{
    const auto& v = GetParam();
    const auto x = mathsweep::bitsToFloat (v.x);

    for (auto path : VectorPaths::all)
    {
        if (! VectorPaths::isAvailable (path))
            continue;

        SCOPED_TRACE (VectorPaths::name (path));

        // Alone, and in every lane of a run longer than the widest vector with a partial last one.
        for (const auto length : { 1, 37 })
        {
            SCOPED_TRACE (length);
            const std::vector<float> in (static_cast<size_t> (length), x);
            std::vector<float> tanhs (in.size()), sines (in.size());
            VectorMath::tanh (in.data(), tanhs.data(), length, path);
            VectorMath::sin (in.data(), sines.data(), length, path);

            for (size_t i = 0; i < in.size(); ++i)
            {
                EXPECT_TRUE (mathsweep::keepsPromise (Function::tanh, x, tanhs[i])) << "tanh at " << i;
                EXPECT_TRUE (mathsweep::keepsPromise (Function::sin, x, sines[i])) << "sin at " << i;
                EXPECT_EQ (mathsweep::floatToBits (tanhs[i]), v.tanh) << "tanh at " << i;

                if (v.sin.has_value())
                    EXPECT_EQ (mathsweep::floatToBits (sines[i]), *v.sin) << "sin at " << i;
                else
                    EXPECT_TRUE (std::isnan (sines[i])) << "sin at " << i;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P (
    Table, VectorMathSpecialValue,
    testing::Values (
        SpecialValue { "+0", 0x00000000u, 0x00000000u, 0x00000000u },
        SpecialValue { "-0", 0x80000000u, 0x80000000u, 0x80000000u },
        SpecialValue { "the smallest denormal", 0x00000001u, 0x00000001u, 0x00000001u },
        SpecialValue { "minus the smallest denormal", 0x80000001u, 0x80000001u, 0x80000001u },
        SpecialValue { "the largest denormal", 0x007fffffu, 0x007fffffu, 0x007fffffu },
        SpecialValue { "minus the largest denormal", 0x807fffffu, 0x807fffffu, 0x807fffffu },
        SpecialValue { "-1e-40, a denormal", 0x800116c2u, 0x800116c2u, 0x800116c2u },
        SpecialValue { "+inf", 0x7f800000u, 0x3f800000u, std::nullopt },
        SpecialValue { "-inf", 0xff800000u, 0xbf800000u, std::nullopt },
        SpecialValue { "the default quiet NaN", 0x7fc00000u, 0x7fc00000u, 0x7fc00000u },
        SpecialValue { "a quiet NaN with a payload", 0x7fc12345u, 0x7fc12345u, 0x7fc12345u },
        SpecialValue { "a signalling NaN with a payload, quieted", 0x7f812345u, 0x7fc12345u, 0x7fc12345u },
        SpecialValue { "a negative quiet NaN", 0xffc00001u, 0xffc00001u, 0xffc00001u },
        SpecialValue { "a negative signalling NaN, quieted", 0xff800001u, 0xffc00001u, 0xffc00001u },
        SpecialValue { "just inside the limit", 0x447fffffu, 0x3f800000u, 0xbe22665fu },
        SpecialValue { "the limit, 1024", 0x44800000u, 0x3f800000u, 0xbe225693u },
        SpecialValue { "just beyond the limit", 0x44800001u, 0x3f800000u, 0xbe2236fbu },
        SpecialValue { "minus the limit", 0xc4800000u, 0xbf800000u, 0x3e225693u },
        SpecialValue { "just beyond minus the limit", 0xc4800001u, 0xbf800000u, 0x3e2236fbu },
        SpecialValue { "3e38", 0x7f61b1e6u, 0x3f800000u, 0x3f5ff9c4u },
        SpecialValue { "the largest float", 0x7f7fffffu, 0x3f800000u, 0xbf0599b3u },
        SpecialValue { "minus the largest float", 0xff7fffffu, 0xbf800000u, 0x3f0599b3u }));

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
