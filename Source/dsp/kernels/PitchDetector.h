#pragma once

#include "DifferenceKernels.h"

#include <optional>
#include <vector>

namespace halvora
{

//==============================================================================
/** Finds the sung fundamental in one block, YIN-style: squared differences,
    cumulative-mean normalisation, an absolute threshold with a strict local minimum,
    and the global minimum as fallback, searching only the lags of one vocal range.
*/
class PitchDetector final
{
public:
    struct LagWindow
    {
        int minLag = 0;
        int maxLag = 0;
        bool searchable = false; // false: the block is too short for this range
    };

    /** The lags searched for a block of numSamples in a range (0 Soprano to 4 Bass). */
    static LagWindow lagWindow (int numSamples, double sampleRate, int rangeIndex) noexcept;

    /** The fewest samples for which lagWindow is searchable in this range at this rate;
        detect finds nothing in any shorter block. Nothing when no block length will do:
        at rates of a few kHz the range's highest and lowest pitch lie too few samples apart.
    */
    static std::optional<int> shortestSearchableBlock (double sampleRate, int rangeIndex) noexcept;

    /** Sizes the working arrays so blocks of up to maxBlockSize samples allocate nothing. */
    void prepare (int maxBlockSize);

    /** The pitch in Hz within the range's bounds, or 0 when the window is empty.
        Grows the working arrays only for a block larger than prepared for.
    */
    float detect (const float* samples, int numSamples, double sampleRate, int rangeIndex);

    /** The squared-difference function of a block, as detect computes it: for every lag
        t in [minLag, maxLag], diffOut[t] = the sum over j from 0 to numSamples - t - 1,
        ascending, of (x[j] - x[j + t]) squared, each sample converted to double first.
        0 <= minLag <= maxLag; diffOut has room for maxLag + 1 values and only
        [minLag, maxLag] is written. Grows the working arrays only for a block larger
        than prepared for.
    */
    void computeDifferences (const float* samples, int numSamples, int minLag, int maxLag, double* diffOut);

    /** Every vector path gives the same bits; the fastest one this processor offers is the
        default, and the others stay selectable so each can be compared and timed.
        Returns false, changing nothing, for a path this processor cannot run.
    */
    bool useVectorPath (VectorPath) noexcept;
    VectorPath getVectorPath() const noexcept { return path; }

private:
    std::vector<double> diff, cmnd;
    std::vector<double> samplesAsDouble; // the block converted once, then `padding` zeros
    VectorPath path = VectorPaths::fastestAvailable();
};

} // namespace halvora
