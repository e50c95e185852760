#pragma once

#include "VectorPath.h"

//==============================================================================
/** The tone stage's transcendental functions, computed over whole arrays in vector
    lanes and by our own arithmetic, so a render has the same bits on every platform and
    C library instead of depending on the local libm.

    - tanh follows the classic single-precision algorithm (an expm1 with a rational
      remainder), step for step in float: for every float it gives exactly the bits of
      the C library it was checked against (glibc 2.36, x86-64), and everywhere the same.
    - sin reduces by pi/2 and sums the series in double, then rounds once: within one
      unit in the last place of the C library's sinf for every float in [-limit, limit],
      and the C library's own bits outside that range (infinities and NaNs included).
    - Both keep the sign of a zero (f (-0) is -0), and a NaN comes back as the same NaN,
      quieted: its sign and payload kept, as the C library does.
    `make verify-math` checks all of this for every float on every path.

    Every path below performs the same IEEE operations in the same order, each rounded
    on its own (no fused multiply-add), so all of them give the same bits; they differ
    only in how many lanes run side by side.
*/
namespace halvora::VectorMath
{
/** The largest |x| sin computes itself; beyond it the C library answers. */
inline constexpr float sinLimit = 1024.0f;

/** out[i] = tanh (in[i]) for i in [0, numSamples). in and out may be the same array.
    Without a path, the fastest for tanh on this processor; a path this processor cannot
    run falls back to the scalar one.
*/
void tanh (const float* in, float* out, int numSamples) noexcept;
void tanh (const float* in, float* out, int numSamples, VectorPath) noexcept;

/** out[i] = sin (in[i]) for i in [0, numSamples). in and out may be the same array. */
void sin (const float* in, float* out, int numSamples) noexcept;
void sin (const float* in, float* out, int numSamples, VectorPath) noexcept;

/** One value, through the scalar path. */
float tanh (float) noexcept;
float sin (float) noexcept;
} // namespace halvora::VectorMath
