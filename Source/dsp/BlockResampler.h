#pragma once

#include <algorithm>

//==============================================================================
/** Replays a block from its own first sample at `ratio` times the speed, by linear
    interpolation: faster fills the end with the last sample, slower drops the end.
    Nothing carries over from block to block.
*/
namespace BlockResampler
{
inline void replay (const float* copy, float* out, int numSamples, float ratio) noexcept
{
    const auto last = numSamples - 1;

    for (int m = 0; m < numSamples; ++m)
    {
        const auto pos = static_cast<float> (m) * ratio;

        if (pos >= static_cast<float> (last))
        {
            out[m] = copy[last];
        }
        else
        {
            const auto i0 = static_cast<int> (pos);
            const auto frac = pos - static_cast<float> (i0);
            const auto i1 = std::min (i0 + 1, last);
            out[m] = (copy[i1] - copy[i0]) * frac + copy[i0];
        }
    }
}
}
