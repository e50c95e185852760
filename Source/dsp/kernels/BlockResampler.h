#pragma once

#include "VectorPath.h"

namespace halvora
{

//==============================================================================
/** Replays a block from its own first sample at `ratio` times the speed, by linear
    interpolation: faster fills the end with the last sample, slower drops the end.
    Nothing carries over from block to block.

    Sample m of the output, with last = numSamples - 1:
        pos = float (m) * ratio
        pos >= last:  copy[last]
        otherwise:    i0 = int (pos), frac = pos - float (i0), i1 = min (i0 + 1, last),
                      (copy[i1] - copy[i0]) * frac + copy[i0]

    ratio must be above 0 and finite. Every path performs those same operations, each
    rounded on its own, so all of them give the same bits; the vector ones work out four,
    eight or sixteen positions at once (the AVX2 and AVX-512 ones also fetch their
    neighbours at once, by gathers), stopping where the position reaches the last sample.

    out may be copy itself when ratio is 1 or more: each output sample then reads only
    samples at or after its own place, which are still unwritten.
*/
namespace BlockResampler
{
    /** With the fastest path on this processor. */
    void replay (const float* copy, float* out, int numSamples, float ratio) noexcept;

    /** With the given path; one this processor cannot run falls back to the scalar one. */
    void replay (const float* copy, float* out, int numSamples, float ratio, VectorPath) noexcept;

    /** How many samples from the block's start a replay at ratio reads: a slower replay
        never reaches the end of the block, so only this much of it needs keeping.
    */
    int samplesRead (int numSamples, float ratio) noexcept;
} // namespace BlockResampler

} // namespace halvora
