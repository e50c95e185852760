#pragma once

#include <vector>

//==============================================================================
/** Finds the sung fundamental in one block, YIN-style: squared differences,
    cumulative-mean normalisation, an absolute threshold with a strict local minimum,
    and the global minimum as fallback, searching only the lags of one vocal range.
*/
class PitchDetector
{
public:
    struct LagWindow
    {
        int minLag = 0;
        int maxLag = 0;
        bool searchable = false;   // false: the block is too short for this range
    };

    /** The lags searched for a block of numSamples in a range (0 Soprano to 4 Bass). */
    static LagWindow lagWindow (int numSamples, double sampleRate, int rangeIndex) noexcept;

    /** Sizes the working arrays so blocks of up to maxBlockSize samples allocate nothing. */
    void prepare (int maxBlockSize);

    /** The pitch in Hz within the range's bounds, or 0 when the window is empty.
        Grows the working arrays only for a block larger than prepared for.
    */
    float detect (const float* samples, int numSamples, double sampleRate, int rangeIndex);

    static constexpr float lowestHz[]  { 261.6f, 196.0f, 130.8f, 98.0f, 82.4f };
    static constexpr float highestHz[] { 1046.5f, 784.0f, 523.3f, 392.0f, 330.0f };

private:
    void computeDifferences (const float* samples, int numSamples, int minLag, int maxLag) noexcept;

    std::vector<double> diff, cmnd;
};
