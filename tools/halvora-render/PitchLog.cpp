#include "PitchLog.h"

#include <cmath>

namespace halvora
{

namespace
{
    const char* const noteNames[] { "C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B" };

    // Which pitch classes above the key belong to each scale, for the plot's note lines.
    constexpr bool scaleMembers[5][12] {
        { 1, 0, 1, 0, 1, 1, 0, 1, 0, 1, 0, 1 },   // Major
        { 1, 0, 1, 1, 0, 1, 0, 1, 1, 0, 1, 0 },   // Minor
        { 1, 0, 1, 1, 0, 1, 0, 1, 0, 1, 1, 0 },   // Dorian
        { 1, 0, 1, 0, 1, 1, 0, 1, 0, 1, 0, 0 },   // Mixolydian
        { 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1 },   // Chromatic
    };

    double hzToNote (double hz) { return 69.0 + 12.0 * std::log2 (hz / 440.0); }

    const juce::Colour background { 0xff101010 };
    const juce::Colour gold { 0xffd4af37 };
    const juce::Colour detectedColour { 0xff6fa8dc };
    const juce::Colour correctedColour { 0xff7bd88f };
}

juce::String pitchRowsAsCsv (const std::vector<PitchRow>& rows)
{
    juce::String csv ("time_s,detected_hz,smoothed_hz,target_hz,ratio\n");

    for (const auto& row : rows)
        csv << juce::String (row.timeSeconds, 6) << "," << juce::String (row.pitch.detectedHz, 3) << ","
            << juce::String (row.pitch.smoothedHz, 3) << "," << juce::String (row.pitch.targetHz, 3) << ","
            << juce::String (row.pitch.ratio, 7) << "\n";

    return csv;
}

juce::Image drawPitchPlot (const std::vector<PitchRow>& rows, double durationSeconds,
                           const PitchPlotSettings& settings, int width, int height)
{
    juce::Image image (juce::Image::RGB, width, height, true);
    juce::Graphics g (image);
    g.fillAll (background);

    const juce::Rectangle<float> plot (70.0f, 50.0f, static_cast<float> (width) - 100.0f, static_cast<float> (height) - 100.0f);

    // The note axis spans what was sung, with a little room above and below.
    double lowNote = 1.0e9, highNote = -1.0e9;
    for (const auto& row : rows)
    {
        for (const auto hz : { row.pitch.detectedHz, row.pitch.smoothedHz, row.pitch.smoothedHz * row.pitch.ratio })
        {
            if (hz > 1.0f)
            {
                lowNote = juce::jmin (lowNote, hzToNote (hz));
                highNote = juce::jmax (highNote, hzToNote (hz));
            }
        }
    }

    if (lowNote > highNote)
    {
        lowNote = 57.0;
        highNote = 81.0;
    }

    lowNote = std::floor (lowNote) - 1.0;
    highNote = std::ceil (highNote) + 1.0;

    const auto duration = juce::jmax (1.0e-3, durationSeconds);
    const auto xOf = [&] (double t) { return plot.getX() + static_cast<float> (t / duration) * plot.getWidth(); };
    const auto yOf = [&] (double note) { return plot.getBottom() - static_cast<float> ((note - lowNote) / (highNote - lowNote)) * plot.getHeight(); };

    g.setFont (juce::FontOptions (14.0f));

    // Scale notes of the selected key as labelled lines.
    for (auto note = static_cast<int> (lowNote); note <= static_cast<int> (highNote); ++note)
    {
        const auto pitchClass = ((note % 12) + 12) % 12;
        const auto fromKey = ((pitchClass - settings.keyIndex) % 12 + 12) % 12;

        if (! scaleMembers[juce::jlimit (0, 4, settings.scaleIndex)][fromKey])
            continue;

        const auto y = yOf (note);
        g.setColour (fromKey == 0 ? gold.withAlpha (0.55f) : juce::Colours::white.withAlpha (0.18f));
        g.drawHorizontalLine (juce::roundToInt (y), plot.getX(), plot.getRight());
        g.setColour (fromKey == 0 ? gold : juce::Colours::white.withAlpha (0.7f));
        g.drawText (juce::String (noteNames[pitchClass]) + juce::String (note / 12 - 1),
                    juce::Rectangle<float> (4.0f, y - 9.0f, 60.0f, 18.0f), juce::Justification::centredRight);
    }

    // Time ticks every second (or every tenth for short takes).
    const auto tick = duration > 2.0 ? 1.0 : 0.1;
    g.setColour (juce::Colours::white.withAlpha (0.7f));
    for (double t = 0.0; t <= duration + 1.0e-9; t += tick)
    {
        const auto x = xOf (t);
        g.drawVerticalLine (juce::roundToInt (x), plot.getBottom(), plot.getBottom() + 6.0f);
        g.drawText (juce::String (t, tick < 1.0 ? 1 : 0) + " s", juce::Rectangle<float> (x - 30.0f, plot.getBottom() + 8.0f, 60.0f, 18.0f),
                    juce::Justification::centred);
    }

    g.setColour (juce::Colours::white.withAlpha (0.4f));
    g.drawRect (plot, 1.0f);

    const auto drawTrace = [&] (juce::Colour colour, float thickness, auto hzOf)
    {
        juce::Path path;
        bool drawing = false;

        for (const auto& row : rows)
        {
            const auto hz = hzOf (row);

            if (hz <= 1.0f)
            {
                drawing = false;
                continue;
            }

            const juce::Point<float> p (xOf (row.timeSeconds), yOf (hzToNote (hz)));

            if (drawing)
                path.lineTo (p);
            else
                path.startNewSubPath (p);

            drawing = true;
        }

        g.setColour (colour);
        g.strokePath (path, juce::PathStrokeType (thickness, juce::PathStrokeType::curved));
    };

    drawTrace (detectedColour.withAlpha (0.8f), 1.2f, [] (const PitchRow& r) { return r.pitch.detectedHz; });
    drawTrace (gold, 2.0f, [] (const PitchRow& r) { return r.pitch.smoothedHz; });
    drawTrace (correctedColour, 2.0f, [] (const PitchRow& r) { return r.pitch.smoothedHz * r.pitch.ratio; });

    // Title and legend.
    g.setColour (juce::Colours::white);
    g.setFont (juce::FontOptions (18.0f, juce::Font::bold));
    g.drawText (settings.title, juce::Rectangle<float> (plot.getX(), 12.0f, plot.getWidth(), 26.0f), juce::Justification::centredLeft);

    g.setFont (juce::FontOptions (14.0f));
    auto legend = juce::Rectangle<float> (plot.getRight() - 420.0f, 16.0f, 420.0f, 20.0f);
    for (const auto& [name, colour] : { std::pair { "detected", detectedColour }, std::pair { "smoothed", gold },
                                        std::pair { "corrected", correctedColour } })
    {
        auto item = legend.removeFromLeft (140.0f);
        g.setColour (colour);
        g.fillRect (item.removeFromLeft (24.0f).withSizeKeepingCentre (24.0f, 3.0f));
        g.setColour (juce::Colours::white);
        g.drawText (name, item.withTrimmedLeft (6.0f), juce::Justification::centredLeft);
    }

    return image;
}

} // namespace halvora
