#include "PitchDetector.h"
#include "dsp/Clamp.h"
#include "HalvoraVocabulary.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>

namespace
{
int roundHalfAwayFromZero (float x) noexcept
{
    // Lag estimates are sample rates over audible frequencies; keep absurd rates finite.
    return static_cast<int> (halvora::clampBetween (-1.0e9f, 1.0e9f, std::round (x)));
}
}

//==============================================================================
namespace halvora
{

PitchDetector::LagWindow PitchDetector::lagWindow (int numSamples, double sampleRate, int rangeIndex) noexcept
{
    const auto sr = sampleRate;
    const auto& range = halvora::vocalRanges[static_cast<size_t> (rangeIndex)];
    const auto lowest = std::max (40.0f, range.lowestHz);
    const auto longestLag = static_cast<float> (sr / static_cast<double> (lowest));

    const auto highest = std::min (0.45f * static_cast<float> (sr), range.highestHz);
    const auto shortestLag = static_cast<float> (sr / static_cast<double> (highest));

    const auto r1 = roundHalfAwayFromZero (shortestLag);
    const auto r2 = roundHalfAwayFromZero (longestLag);
    const auto half = numSamples / 2;

    LagWindow window;
    window.minLag = r1 < 2 ? 2 : std::min (r1, half);
    window.maxLag = r2 < window.minLag + 2 ? window.minLag + 2 : std::min (half, r2);
    window.searchable = window.maxLag > window.minLag + 2;
    return window;
}

std::optional<int> PitchDetector::shortestSearchableBlock (double sampleRate, int rangeIndex) noexcept
{
    const auto searchable = [=] (int numSamples) { return lagWindow (numSamples, sampleRate, rangeIndex).searchable; };

    // A longer block never narrows the window, so the searchable lengths are all those from
    // one length up: halve the gap between an empty block, which has no lags at all, and
    // the longest block there is until the two are neighbours.
    int tooShort = 0;
    int longEnough = std::numeric_limits<int>::max();

    if (! searchable (longEnough))
        return std::nullopt;

    while (longEnough - tooShort > 1)
    {
        const auto middle = tooShort + (longEnough - tooShort) / 2;

        if (searchable (middle))
            longEnough = middle;
        else
            tooShort = middle;
    }

    return longEnough;
}

void PitchDetector::prepare (int maxBlockSize)
{
    // The longest lag is at most half a block.
    const auto size = static_cast<size_t> (std::max (0, maxBlockSize / 2) + 1);
    diff.assign (size, 0.0);
    cmnd.assign (size, 0.0);
    samplesAsDouble.assign (static_cast<size_t> (std::max (0, maxBlockSize) + DifferenceKernels::padding), 0.0);
}

//==============================================================================
float PitchDetector::detect (const float* samples, int numSamples, double sampleRate, int rangeIndex)
{
    const auto window = lagWindow (numSamples, sampleRate, rangeIndex);

    if (! window.searchable)
        return 0.0f;

    const auto minLag = window.minLag;
    const auto maxLag = window.maxLag;

    if (diff.size() < static_cast<size_t> (maxLag + 1))
    {
        diff.resize (static_cast<size_t> (maxLag + 1), 0.0);
        cmnd.resize (static_cast<size_t> (maxLag + 1), 0.0);
    }

    computeDifferences (samples, numSamples, minLag, maxLag, diff.data());

    // Cumulative-mean normalisation, starting from the shortest searched lag.
    double runningSum = 0.0;

    for (int t = minLag; t <= maxLag; ++t)
    {
        const auto i = t - minLag;
        const auto d = diff[static_cast<size_t> (t)];
        runningSum += d;
        cmnd[static_cast<size_t> (t)] = runningSum > 0.0 ? (d * static_cast<double> (i + 1)) / runningSum : 1.0;
    }

    const auto at = [this] (int t) { return cmnd[static_cast<size_t> (t)]; };

    // The first strict local minimum under 0.2: a dip that deep means the block nearly
    // repeats itself after that lag, the voice's own period; shallower dips are breath,
    // noise or a strong overtone. Failing that, the global minimum.
    int chosenLag = -1;

    for (int t = minLag + 1; t <= maxLag - 1; ++t)
    {
        if (at (t) < 0.2 && at (t) < at (t - 1) && at (t) < at (t + 1))
        {
            chosenLag = t;
            break;
        }
    }

    if (chosenLag < 0)
    {
        auto best = 1.0e9;
        chosenLag = minLag;

        for (int t = minLag; t <= maxLag; ++t)
        {
            if (at (t) < best)
            {
                best = at (t);
                chosenLag = t;
            }
        }
    }

    const auto f = static_cast<float> (sampleRate / static_cast<double> (chosenLag));
    const auto& range = halvora::vocalRanges[static_cast<size_t> (rangeIndex)];

    return halvora::clampBetween (range.lowestHz, range.highestHz, f);
}

void PitchDetector::computeDifferences (const float* samples, int numSamples, int minLag, int maxLag, double* diffOut)
{
    const auto n = static_cast<size_t> (std::max (0, numSamples));
    const auto needed = n + static_cast<size_t> (DifferenceKernels::padding);

    if (samplesAsDouble.size() < needed)
        samplesAsDouble.resize (needed, 0.0);

    // Each sample is converted once here instead of once per lag in the kernels.
    std::copy (samples, samples + n, samplesAsDouble.begin());
    std::fill (samplesAsDouble.begin() + static_cast<std::ptrdiff_t> (n),
               samplesAsDouble.begin() + static_cast<std::ptrdiff_t> (needed), 0.0);

    DifferenceKernels::compute (path, samplesAsDouble.data(), numSamples, minLag, maxLag, diffOut);
}

bool PitchDetector::useVectorPath (VectorPath newPath) noexcept
{
    if (! VectorPaths::isAvailable (newPath))
        return false;

    path = newPath;
    return true;
}

} // namespace halvora
