#pragma once

#include "dsp/kernels/VectorMath.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

//==============================================================================
/** Runs one of the plug-in's vector functions over a range of float bit patterns and
    measures it against the C library's function of the same name, and every vector path
    against the scalar one.
*/
namespace mathsweep
{
using namespace halvora;

enum class Function
{
    tanh,
    sin
};

inline const char* name (Function f) { return f == Function::tanh ? "tanh" : "sin"; }

inline float bitsToFloat (std::uint32_t bits)
{
    float f;
    std::memcpy (&f, &bits, sizeof (f));
    return f;
}

inline std::uint32_t floatToBits (float f)
{
    std::uint32_t bits;
    std::memcpy (&bits, &f, sizeof (bits));
    return bits;
}

/** Distance in units in the last place: the count of floats between a and b (0 when
    both are NaN, a huge number when only one is).
*/
inline std::int64_t ulpDistance (float a, float b)
{
    if (std::isnan (a) || std::isnan (b))
        return std::isnan (a) && std::isnan (b) ? 0 : INT64_MAX;

    const auto ordered = [] (float f) {
        const auto bits = static_cast<std::int64_t> (static_cast<std::int32_t> (floatToBits (f)));
        return bits < 0 ? static_cast<std::int64_t> (INT32_MIN) - bits : bits;
    };

    const auto d = ordered (a) - ordered (b);
    return d < 0 ? -d : d;
}

inline float libraryValue (Function f, float x) { return f == Function::tanh ? std::tanh (x) : std::sin (x); }

inline void vectorValues (Function f, const float* in, float* out, int n, VectorPath path)
{
    if (f == Function::tanh)
        VectorMath::tanh (in, out, n, path);
    else
        VectorMath::sin (in, out, n, path);
}

struct Result
{
    std::uint64_t checked = 0, differing = 0; // differing: by any amount from the C library
    std::int64_t worstUlps = 0;
    float worstArgument = 0.0f;
    std::uint64_t pathMismatches = 0; // values where a vector path's bits differ from the scalar path's
    float firstPathMismatch = 0.0f;

    void add (const Result& other)
    {
        if (other.worstUlps > worstUlps || checked == 0)
        {
            worstUlps = other.worstUlps;
            worstArgument = other.worstArgument;
        }

        if (pathMismatches == 0)
            firstPathMismatch = other.firstPathMismatch;

        checked += other.checked;
        differing += other.differing;
        pathMismatches += other.pathMismatches;
    }
};

/** Every stride-th bit pattern from first to last (inclusive), through every available
    path. Bit patterns are walked as unsigned integers, so a range may cross from the
    positive floats into the negative ones.
*/
inline Result sweep (Function f, std::uint32_t first, std::uint32_t last, std::uint32_t stride)
{
    constexpr int batch = 4096;
    std::vector<float> in (batch), scalarOut (batch), pathOut (batch);
    Result result;

    for (std::uint64_t start = first; start <= last;)
    {
        int n = 0;

        for (; n < batch && start <= last; ++n, start += stride)
            in[static_cast<size_t> (n)] = bitsToFloat (static_cast<std::uint32_t> (start));

        vectorValues (f, in.data(), scalarOut.data(), n, VectorPath::scalar);

        for (int i = 0; i < n; ++i)
        {
            const auto x = in[static_cast<size_t> (i)];
            const auto d = ulpDistance (scalarOut[static_cast<size_t> (i)], libraryValue (f, x));
            ++result.checked;
            result.differing += d != 0 ? 1u : 0u;

            if (d > result.worstUlps)
            {
                result.worstUlps = d;
                result.worstArgument = x;
            }
        }

        for (auto path : VectorPaths::all)
        {
            if (path == VectorPath::scalar || ! VectorPaths::isAvailable (path))
                continue;

            vectorValues (f, in.data(), pathOut.data(), n, path);

            for (int i = 0; i < n; ++i)
            {
                const auto a = scalarOut[static_cast<size_t> (i)], b = pathOut[static_cast<size_t> (i)];
                const auto same = floatToBits (a) == floatToBits (b) || (std::isnan (a) && std::isnan (b));

                if (! same && result.pathMismatches++ == 0)
                    result.firstPathMismatch = in[static_cast<size_t> (i)];
            }
        }
    }

    return result;
}

/** The bit patterns of the floats from 0 to 2 pi (as a float): the phases the vibrato's
    sine is asked for.
*/
inline constexpr std::uint32_t zeroBits = 0x00000000u;
inline constexpr std::uint32_t twoPiBits = 0x40c90fdbu; // 6.2831855f
} // namespace mathsweep
