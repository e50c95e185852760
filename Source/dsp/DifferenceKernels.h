#pragma once

#include "VectorPath.h"

/** The ways the pitch detector's squared-difference function can be computed. All of
    them give the same bits: each lag's sum is its own sequential chain in ascending j;
    they differ only in how many lags run side by side (one lag per vector lane).
*/
using DifferenceKernel = VectorPath;

//==============================================================================
/** The squared-difference function of one block, with the kernel chosen once at run time
    from what the processor offers, so the plug-in itself targets any x86-64 machine.
*/
namespace DifferenceKernels
{
/** Readable values the kernels need after the last sample. Their contents never
    reach a sum: lanes past the end of their lag's window are masked to zero.
*/
inline constexpr int padding = 32;

inline constexpr auto& all = VectorPaths::all;
using VectorPaths::fastestAvailable;
using VectorPaths::isAvailable;
using VectorPaths::name;

/** For every lag t in [minLag, maxLag]: diff[t] = the sum over j from 0 to
    numSamples - t - 1, ascending, of (x[j] - x[j + t]) squared, in double.
    x holds numSamples values followed by `padding` readable ones; 0 <= minLag <= maxLag;
    diff has room for maxLag + 1 values, and only [minLag, maxLag] is written.
    A kernel this processor cannot run falls back to the scalar one.
*/
void compute (DifferenceKernel, const double* x, int numSamples, int minLag, int maxLag, double* diff) noexcept;
}
