#include "PitchTracking.h"

#include <algorithm>

namespace halvora
{

void PitchTracking::prepare (const StageSetup& setup)
{
    detector.prepare (setup.maximumBlockSize);
    sampleRate = setup.sampleRate;
    reset();
}

void PitchTracking::reset() noexcept
{
    lastDetectedHz = 0.0f;
    smoothedHz = 0.0f;
}

PitchTracking::Tracked PitchTracking::process (const juce::AudioBuffer<float>& analysis, const Settings& settings)
{
    const auto numSamples = analysis.getNumSamples();
    const auto detectedHz = numSamples >= shortestAnalysedBlock
                              ? detector.detect (analysis.getReadPointer (0), numSamples, sampleRate, settings.rangeIndex)
                              : 0.0f;
    follow (detectedHz, settings.correctionStrength);
    return { detectedHz, smoothedHz };
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
