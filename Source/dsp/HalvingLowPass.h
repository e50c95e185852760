#pragma once

#include <cmath>

namespace halvora
{

//==============================================================================
/** The tone stage's one-pole low-pass, lp = (lp + x) * 0.5 sample after sample, with
    exactly the bits of that loop but close to twice its speed.

    In the plain loop every sample waits for an addition and then a multiplication. Here
    the state is carried scaled by a power of two that doubles each sample, which turns
    the halving into nothing: with w[j] = 2^(j+1) lp[j],

        w[j] = w[j-1] + 2^j x[j]      (one addition per sample)
        lp[j] = w[j] * 2^-(j+1)

    Scaling by a power of two is exact, so both sides round alike, as long as nothing
    leaves the normal range: the scale restarts every `segment` samples, and a segment in
    which a value came near overflow, or a sum near the subnormal range (silence decaying
    for hundreds of samples, say), is done again with the plain loop.
*/
class HalvingLowPass
{
public:
    static constexpr int segment = 32;

    /** lows[i] = the filter's output for x[i], i in [0, n), from the state lp; returns
        the new state. scaled is scratch room for n values. For i < besideCount, beside (i)
        runs within the filter's loop: a chain of work of its own that then overlaps the
        filter's instead of following it.
    */
    template <typename Beside>
    static float run (const float* x, float* lows, float* scaled, int n, float lp, int besideCount, Beside&& beside) noexcept
    {
        for (int i = 0; i < n; ++i)
            scaled[i] = x[i] * powers.up[i % segment];

        // The chain: one addition a sample, and a rescale where a segment starts.
        auto w = lp;
        int i = 0;

        const auto add = [&w, scaled, lows] (int k) noexcept {
            if (k % segment == 0 && k != 0)
                w = w * powers.down[segment];

            w = w + scaled[k];
            lows[k] = w; // scaled for now
        };

        for (; i < besideCount; ++i)
        {
            add (i);
            beside (i);
        }

        for (; i < n; ++i)
            add (i);

        // Every scaled sum must have stayed far from overflow, and every unscaled sum
        // (2 lp) have been normal or zero: then each step rounded as the plain loop does.
        auto firstPlain = n;

        for (int start = 0; start < n && firstPlain == n; start += segment)
        {
            const auto end = start + segment < n ? start + segment : n;
            auto fine = 1;

            for (int k = start; k < end; ++k)
            {
                const auto sum = std::abs (lows[k] * powers.down[k % segment]);
                fine &= static_cast<int> (std::abs (lows[k]) <= 0x1p126f) & static_cast<int> (sum >= 0x1p-125f || sum == 0.0f);
            }

            if (fine == 0)
                firstPlain = start;
        }

        for (int k = 0; k < firstPlain; ++k)
            lows[k] = lows[k] * powers.down[k % segment + 1];

        // From a segment that could not be trusted on, the plain loop.
        auto state = firstPlain == 0 ? lp : lows[firstPlain - 1];

        for (int k = firstPlain; k < n; ++k)
        {
            state = (state + x[k]) * 0.5f;
            lows[k] = state;
        }

        return n > 0 ? lows[n - 1] : lp;
    }

private:
    struct PowersOfTwo
    {
        float up[segment];       // 2^j
        float down[segment + 1]; // 2^-j
    };

    static constexpr PowersOfTwo powers = [] {
        PowersOfTwo p {};
        auto up = 1.0f, down = 1.0f;

        for (int j = 0; j <= segment; ++j)
        {
            if (j < segment)
                p.up[j] = up;

            p.down[j] = down;
            up *= 2.0f;
            down *= 0.5f;
        }

        return p;
    }();
};

} // namespace halvora
