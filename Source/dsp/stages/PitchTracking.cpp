#include "PitchTracking.h"

#include <algorithm>

namespace halvora
{

void PitchTracking::prepare (int maxBlockSize)
{
    detector.prepare (maxBlockSize);
    reset();
}

void PitchTracking::reset() noexcept
{
    lastDetectedHz = 0.0f;
    smoothedHz = 0.0f;
}

float PitchTracking::process (const float* analysis, int numSamples, double sampleRate, int rangeIndex, float correctionStrength)
{
    const auto detectedHz = numSamples >= shortestAnalysedBlock ? detector.detect (analysis, numSamples, sampleRate, rangeIndex) : 0.0f;
    follow (detectedHz, correctionStrength);
    return detectedHz;
}

void PitchTracking::follow (float detectedHz, float correctionStrength) noexcept
{
    if (detectedHz > 0.0f)
    {
        if (smoothedHz <= 0.0f)
            smoothedHz = detectedHz;

        // Firmer correction follows the voice faster.
        const auto alpha = 0.35f * correctionStrength + 0.05f;
        smoothedHz = alpha * detectedHz + (1.0f - alpha) * smoothedHz;
        lastDetectedHz = detectedHz;
    }
    else if (smoothedHz <= 0.0f)
    {
        smoothedHz = lastDetectedHz;
    }
}

std::optional<int> shortestDetectingBlock (int rangeIndex, double sampleRate) noexcept
{
    if (const auto searchable = PitchDetector::shortestSearchableBlock (sampleRate, rangeIndex))
        return std::max (PitchTracking::shortestAnalysedBlock, *searchable);

    return std::nullopt;
}

} // namespace halvora
