#include "DetectingBlocks.h"

#include "HalvoraVocabulary.h"
#include "dsp/stages/PitchTracking.h"

namespace halvora
{

namespace
{
    /** The rates hosts most often run at, one column each. */
    constexpr double listedRates[] { 44100.0, 48000.0, 96000.0 };

    constexpr int nameWidth = 10, lowestWidth = 9, highestWidth = 12, rateWidth = 10;

    /** "261.6", "784", "44.1": at most `decimals` places, without trailing zeros. */
    juce::String plainNumber (double value, int decimals)
    {
        return juce::String (value, decimals).trimCharactersAtEnd ("0").trimCharactersAtEnd (".");
    }

    juce::String rangeName (int rangeIndex)
    {
        return rangeNames[static_cast<size_t> (rangeIndex)];
    }
}

juce::String describeRanges()
{
    const auto spanWidth = nameWidth + lowestWidth + highestWidth;
    auto table = juce::String().paddedRight (' ', spanWidth + 2) + "shortest detecting block, samples\n";
    table << juce::String ("range").paddedRight (' ', nameWidth) << juce::String ("lowest Hz").paddedLeft (' ', lowestWidth)
          << juce::String ("highest Hz").paddedLeft (' ', highestWidth);

    for (const auto rate : listedRates)
        table << (plainNumber (rate / 1000.0, 1) + " kHz").paddedLeft (' ', rateWidth);

    table << "\n";

    for (int r = 0; r < static_cast<int> (vocalRanges.size()); ++r)
    {
        const auto& range = vocalRanges[static_cast<size_t> (r)];
        table << rangeName (r).paddedRight (' ', nameWidth) << plainNumber (range.lowestHz, 2).paddedLeft (' ', lowestWidth)
              << plainNumber (range.highestHz, 2).paddedLeft (' ', highestWidth);

        for (const auto rate : listedRates)
        {
            const auto shortest = shortestDetectingBlock (r, rate);
            table << (shortest ? juce::String (*shortest) : juce::String ("none")).paddedLeft (' ', rateWidth);
        }

        table << "\n";
    }

    return table;
}

juce::String shortBlockWarning (int blockSize, int rangeIndex, double sampleRate)
{
    const auto shortest = shortestDetectingBlock (rangeIndex, sampleRate);
    const auto rate = plainNumber (sampleRate, 3) + " Hz";

    if (! shortest)
        return "the pitch detector finds no " + rangeName (rangeIndex) + " pitch at " + rate
             + " in a block of any length: no pitch will be corrected";

    if (blockSize >= *shortest)
        return {};

    return "block " + juce::String (blockSize) + " is shorter than " + juce::String (*shortest)
         + " samples, the shortest in which the pitch detector finds a " + rangeName (rangeIndex) + " pitch at "
         + rate + ": no pitch will be corrected";
}

} // namespace halvora
