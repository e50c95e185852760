#pragma once

#include "VectorPath.h"

namespace halvora
{

//==============================================================================
/** The squared-difference function of one block, on a vector path chosen once at run
    time from what the processor offers, so the plug-in itself targets any x86-64 machine.
    Every path gives the same bits: each lag's sum is its own sequential chain in
    ascending j; they differ only in how many lags run side by side (one lag per lane).
*/
namespace DifferenceKernels
{
    /** Readable values the kernels need after the last sample. Their contents never
        reach a sum: lanes past the end of their lag's window are masked to zero.
    */
    inline constexpr int padding = 32;

    /** For every lag t in [minLag, maxLag]: diff[t] = the sum over j from 0 to
        numSamples - t - 1, ascending, of (x[j] - x[j + t]) squared, in double.
        x holds numSamples values followed by `padding` readable ones; 0 <= minLag <= maxLag;
        diff has room for maxLag + 1 values, and only [minLag, maxLag] is written.
        A path this processor cannot run falls back to the scalar one.
    */
    void compute (VectorPath, const double* x, int numSamples, int minLag, int maxLag, double* diff) noexcept;
} // namespace DifferenceKernels

} // namespace halvora
