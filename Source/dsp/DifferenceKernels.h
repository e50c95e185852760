#pragma once

//==============================================================================
/** The ways the pitch detector's squared-difference function can be computed. All of
    them give the same bits: each lag's sum is its own sequential chain in ascending j;
    they differ only in how many lags run side by side (one lag per vector lane).
*/
enum class DifferenceKernel
{
    scalar, // one lag per register, on any processor
    sse2,   // two lags per 128-bit vector, every x86-64 processor
    avx2,   // four lags per 256-bit vector, chosen at run time
    avx512  // eight lags per 512-bit vector, chosen at run time
};

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

inline constexpr DifferenceKernel all[] { DifferenceKernel::scalar, DifferenceKernel::sse2,
                                          DifferenceKernel::avx2, DifferenceKernel::avx512 };

/** True when this processor (and this build) can run the kernel. */
bool isAvailable (DifferenceKernel) noexcept;

/** The kernel the detector uses unless told otherwise. */
DifferenceKernel fastestAvailable() noexcept;

const char* name (DifferenceKernel) noexcept;

/** For every lag t in [minLag, maxLag]: diff[t] = the sum over j from 0 to
    numSamples - t - 1, ascending, of (x[j] - x[j + t]) squared, in double.
    x holds numSamples values followed by `padding` readable ones; 0 <= minLag <= maxLag;
    diff has room for maxLag + 1 values, and only [minLag, maxLag] is written.
    A kernel this processor cannot run falls back to the scalar one.
*/
void compute (DifferenceKernel, const double* x, int numSamples, int minLag, int maxLag, double* diff) noexcept;
}
