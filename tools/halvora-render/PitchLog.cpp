#include "PitchLog.h"
#include "OutputFiles.h"
#include "ProcessorSettings.h"

#include "HalvoraVocabulary.h"

#include <cmath>

namespace halvora
{

namespace
{
    double hzToNote (double hz) { return 69.0 + 12.0 * std::log2 (hz / 440.0); }

    const juce::Colour background { 0xff101010 };
    const juce::Colour gold { productGoldArgb };
    const juce::Colour detectedColour { 0xff6fa8dc };
    const juce::Colour correctedColour { 0xff7bd88f };

    /** The three pitches of a row the plot draws, in the order of its legend. */
    float detectedHz (const PitchRow& r) { return r.pitch.detectedHz; }
    float smoothedHz (const PitchRow& r) { return r.pitch.smoothedHz; }
    float correctedHz (const PitchRow& r) { return r.pitch.smoothedHz * r.pitch.ratio; }

    /** Where the plot's axes put a time and a note. */
    struct PlotArea
    {
        juce::Rectangle<float> bounds;
        double duration, lowNote, highNote;

        float xOf (double t) const { return bounds.getX() + static_cast<float> (t / duration) * bounds.getWidth(); }
        float yOf (double note) const
        {
            const auto fraction = static_cast<float> ((note - lowNote) / (highNote - lowNote));
            return bounds.getBottom() - fraction * bounds.getHeight();
        }
    };

    /** The note axis spans what was sung, with a little room above and below. */
    std::pair<double, double> noteSpan (const std::vector<PitchRow>& rows)
    {
        double lowNote = 1.0e9, highNote = -1.0e9;

        for (const auto& row : rows)
        {
            for (const auto hz : { detectedHz (row), smoothedHz (row), correctedHz (row) })
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

        return { std::floor (lowNote) - 1.0, std::ceil (highNote) + 1.0 };
    }

    /** The scale notes of the selected key as labelled lines, the key's own in gold. */
    void drawScaleLines (juce::Graphics& g, const PlotArea& area, const PitchPlotSettings& settings)
    {
        const auto& scale = scaleMasks[juce::jlimit (0, 4, settings.scaleIndex)];

        for (auto note = static_cast<int> (area.lowNote); note <= static_cast<int> (area.highNote); ++note)
        {
            const auto pitchClass = ((note % 12) + 12) % 12;
            const auto fromKey = ((pitchClass - settings.keyIndex) % 12 + 12) % 12;

            if (! scale[fromKey])
                continue;

            const auto y = area.yOf (note);
            g.setColour (fromKey == 0 ? gold.withAlpha (0.55f) : juce::Colours::white.withAlpha (0.18f));
            g.drawHorizontalLine (juce::roundToInt (y), area.bounds.getX(), area.bounds.getRight());
            g.setColour (fromKey == 0 ? gold : juce::Colours::white.withAlpha (0.7f));
            g.drawText (juce::String (keyNames[static_cast<size_t> (pitchClass)]) + juce::String (note / 12 - 1),
                        juce::Rectangle<float> (4.0f, y - 9.0f, 60.0f, 18.0f), juce::Justification::centredRight);
        }
    }

    /** Time ticks every second (or every tenth for short takes). */
    void drawTimeTicks (juce::Graphics& g, const PlotArea& area)
    {
        const auto tick = area.duration > 2.0 ? 1.0 : 0.1;
        const auto bottom = area.bounds.getBottom();
        g.setColour (juce::Colours::white.withAlpha (0.7f));

        for (double t = 0.0; t <= area.duration + 1.0e-9; t += tick)
        {
            const auto x = area.xOf (t);
            g.drawVerticalLine (juce::roundToInt (x), bottom, bottom + 6.0f);
            g.drawText (juce::String (t, tick < 1.0 ? 1 : 0) + " s", juce::Rectangle<float> (x - 30.0f, bottom + 8.0f, 60.0f, 18.0f),
                        juce::Justification::centred);
        }
    }

    /** One pitch over time, broken where it was not there. */
    void drawTrace (juce::Graphics& g, const PlotArea& area, const std::vector<PitchRow>& rows, juce::Colour colour,
                    float thickness, float (*hzOf) (const PitchRow&))
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

            const juce::Point<float> p (area.xOf (row.timeSeconds), area.yOf (hzToNote (hz)));

            if (drawing)
                path.lineTo (p);
            else
                path.startNewSubPath (p);

            drawing = true;
        }

        g.setColour (colour);
        g.strokePath (path, juce::PathStrokeType (thickness, juce::PathStrokeType::curved));
    }

    void drawTitleAndLegend (juce::Graphics& g, const PlotArea& area, const juce::String& title)
    {
        const auto& plot = area.bounds;
        g.setColour (juce::Colours::white);
        g.setFont (juce::FontOptions (18.0f, juce::Font::bold));
        g.drawText (title, juce::Rectangle<float> (plot.getX(), 12.0f, plot.getWidth(), 26.0f), juce::Justification::centredLeft);

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
    }
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

    const auto [lowNote, highNote] = noteSpan (rows);
    const PlotArea area { { 70.0f, 50.0f, static_cast<float> (width) - 100.0f, static_cast<float> (height) - 100.0f },
                          juce::jmax (1.0e-3, durationSeconds),
                          lowNote,
                          highNote };

    g.setFont (juce::FontOptions (14.0f));
    drawScaleLines (g, area, settings);
    drawTimeTicks (g, area);

    g.setColour (juce::Colours::white.withAlpha (0.4f));
    g.drawRect (area.bounds, 1.0f);

    drawTrace (g, area, rows, detectedColour.withAlpha (0.8f), 1.2f, detectedHz);
    drawTrace (g, area, rows, gold, 2.0f, smoothedHz);
    drawTrace (g, area, rows, correctedColour, 2.0f, correctedHz);

    drawTitleAndLegend (g, area, settings.title);
    return image;
}

std::optional<Failure> writePitchFiles (const RenderOptions& options, juce::AudioProcessor& processor,
                                        const std::vector<PitchRow>& rows, double durationSeconds)
{
    const auto cwd = juce::File::getCurrentWorkingDirectory();

    if (options.pitchCsvPath.isNotEmpty())
    {
        const auto csv = pitchRowsAsCsv (rows).toStdString();
        if (auto failure = writeFile (cwd.getChildFile (options.pitchCsvPath), csv.data(), csv.size()))
            return failure;
    }

    if (options.pitchPlotPath.isNotEmpty())
    {
        const auto raw = [&processor] (const char* id) {
            auto* p = findParameter (processor, id);
            return p != nullptr ? p->convertFrom0to1 (p->getValue()) : 0.0f;
        };

        const auto text = [&processor] (const char* id) { return findParameter (processor, id)->getCurrentValueAsText(); };

        PitchPlotSettings settings;
        settings.keyIndex = static_cast<int> (raw (ParamID::key));
        settings.scaleIndex = static_cast<int> (raw (ParamID::scale));
        settings.title = "Halvora pitch: key " + text (ParamID::key) + " " + text (ParamID::scale) + ", range "
                       + text (ParamID::range) + ", morvel " + juce::String (raw (ParamID::morvel), 3) + ", ON "
                       + onTargetNames[static_cast<size_t> (juce::jlimit (0, 4, options.onTarget))] + ", "
                       + juce::String (options.blockSize) + "-sample blocks";

        const auto image = drawPitchPlot (rows, durationSeconds, settings);
        juce::MemoryOutputStream png;

        if (! juce::PNGImageFormat().writeImageToStream (image, png))
            return Failure { exitFileError, "cannot encode the pitch plot" };

        if (auto failure = writeFile (cwd.getChildFile (options.pitchPlotPath), png.getData(), png.getDataSize()))
            return failure;
    }

    return std::nullopt;
}

} // namespace halvora
