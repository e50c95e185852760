#pragma once

#include "PluginEditor.h"
#include "HalvoraVocabulary.h"
#include "helpers/TestHelpers.h"

#include <gtest/gtest.h>

#include <functional>

/** Reaches the editor's private controls, looks and pictures, for tests that check them. */
struct HalvoraEditorInspector
{
    explicit HalvoraEditorInspector (HalvoraAudioProcessorEditor& e)
        : editor (e)
    {
    }

    GoldKnobLAF& goldKnobLAF() { return editor.goldKnobLAF; }
    HLPopupLAF& popupLAF() { return editor.popupLAF; }
    OnButtonLookAndFeel& onButtonLAF() { return editor.onButtonLAF; }
    FaderLookAndFeel& faderLAF() { return editor.faderLAF; }
    juce::Image& boardImage() { return editor.boardImage; }
    juce::Image& knobSourceImage() { return editor.knobSourceImage; }

    /** Every control of the window by the name the tests know it by: each row's control
        ("gainKnob", "rangeBox", "delayFader") and title ("gainLabel", "delayLabel"), then
        "onButton1" to "onButton4".
    */
    std::vector<std::pair<juce::String, juce::Component*>> controls()
    {
        static constexpr const char* suffixes[] { "Knob", "Box", "Fader" }; // by halvora::ControlKind
        std::vector<std::pair<juce::String, juce::Component*>> named;

        for (size_t i = 0; i < halvora::editorControls.size(); ++i)
        {
            const auto& row = halvora::editorControls[i];

            // The mixes' controls go by their effect's name: "delayFader", not "delayMixFader".
            const auto stem = juce::String (row.paramID).replace ("Mix", "");
            named.emplace_back (stem + suffixes[static_cast<size_t> (row.kind)], editor.controls[i].get());
            named.emplace_back (stem + "Label", &editor.titles[i]);
        }

        for (size_t i = 0; i < editor.onButtons.size(); ++i)
            named.emplace_back ("onButton" + juce::String (i + 1), &editor.onButtons[i]);

        return named;
    }

    juce::Component* control (const juce::String& name)
    {
        for (auto& [controlName, component] : controls())
            if (controlName == name)
                return component;

        return nullptr;
    }

    juce::Slider& slider (const juce::String& name) { return as<juce::Slider> (name); }
    juce::Label& label (const juce::String& name) { return as<juce::Label> (name); }
    juce::ComboBox& box (const juce::String& name) { return as<juce::ComboBox> (name); }
    juce::TextButton& onButton (int number) { return as<juce::TextButton> ("onButton" + juce::String (number)); }

    HalvoraAudioProcessorEditor& editor;

private:
    template <typename ControlType>
    ControlType& as (const juce::String& name)
    {
        if (auto* c = dynamic_cast<ControlType*> (control (name)))
            return *c;

        throw std::runtime_error ("no control " + name.toStdString() + " of that type");
    }
};

/** A processor with its editor open, as a host has it after opening the window. */
class EditorTest : public testing::Test
{
protected:
    void SetUp() override { open(); }

    /** Closes the window, if one is open, and opens a new one on the same processor. */
    void open()
    {
        inspector.reset();
        editor.reset();

        std::unique_ptr<juce::AudioProcessorEditor> created (processor.createEditor());
        editor.reset (dynamic_cast<HalvoraAudioProcessorEditor*> (created.get()));
        ASSERT_NE (editor, nullptr);
        created.release();
        inspector = std::make_unique<HalvoraEditorInspector> (*editor);
    }

    void close()
    {
        inspector.reset();
        editor.reset();
    }

    HalvoraEditorInspector& inspect() { return *inspector; }

    void set (const char* id, float plain) { testutil::setPlain (processor, id, plain); }
    float get (const char* id) { return testutil::getPlain (processor, id); }

    HalvoraAudioProcessor processor;
    std::unique_ptr<HalvoraAudioProcessorEditor> editor;
    std::unique_ptr<HalvoraEditorInspector> inspector;
};

namespace pixels
{

using Predicate = std::function<bool (juce::Colour)>;

/** The window, or any control, painted off-screen with its children. */
inline juce::Image snapshot (juce::Component& c)
{
    return c.createComponentSnapshot (c.getLocalBounds(), true, 1.0f);
}

/** A cleared, transparent w x h picture painted by `draw`. */
inline juce::Image paint (int w, int h, const std::function<void (juce::Graphics&)>& draw)
{
    juce::Image image (juce::Image::ARGB, w, h, true);
    image.clear (image.getBounds());

    {
        juce::Graphics g (image);
        draw (g);
    }

    return image;
}

inline bool isBlack (juce::Colour c) { return c.getRed() == 0 && c.getGreen() == 0 && c.getBlue() == 0; }
inline bool isTransparent (juce::Colour c) { return c.getAlpha() == 0; }

/** Each of the four channels within `tolerance` of the expected colour. */
inline bool near (juce::Colour actual, juce::Colour expected, int tolerance)
{
    return std::abs (actual.getRed() - expected.getRed()) <= tolerance
        && std::abs (actual.getGreen() - expected.getGreen()) <= tolerance
        && std::abs (actual.getBlue() - expected.getBlue()) <= tolerance
        && std::abs (actual.getAlpha() - expected.getAlpha()) <= tolerance;
}

inline int count (const juce::Image& image, juce::Rectangle<int> area, const Predicate& matches)
{
    const juce::Image::BitmapData data (image, juce::Image::BitmapData::readOnly);
    area = area.getIntersection (image.getBounds());
    int n = 0;

    for (int y = area.getY(); y < area.getBottom(); ++y)
        for (int x = area.getX(); x < area.getRight(); ++x)
            if (matches (data.getPixelColour (x, y)))
                ++n;

    return n;
}

inline int count (const juce::Image& image, const Predicate& matches)
{
    return count (image, image.getBounds(), matches);
}

/** The smallest rectangle holding every matching pixel; empty if none matches. */
inline juce::Rectangle<int> boundsOf (const juce::Image& image, const Predicate& matches)
{
    const juce::Image::BitmapData data (image, juce::Image::BitmapData::readOnly);
    int left = image.getWidth(), top = image.getHeight(), right = -1, bottom = -1;

    for (int y = 0; y < image.getHeight(); ++y)
        for (int x = 0; x < image.getWidth(); ++x)
            if (matches (data.getPixelColour (x, y)))
            {
                left = juce::jmin (left, x);
                right = juce::jmax (right, x);
                top = juce::jmin (top, y);
                bottom = juce::jmax (bottom, y);
            }

    return right < 0 ? juce::Rectangle<int>() : juce::Rectangle<int>::leftTopRightBottom (left, top, right + 1, bottom + 1);
}

/** The mean position of the matching pixels' centres. */
inline juce::Point<float> centreOf (const juce::Image& image, const Predicate& matches)
{
    const juce::Image::BitmapData data (image, juce::Image::BitmapData::readOnly);
    double sx = 0.0, sy = 0.0;
    int n = 0;

    for (int y = 0; y < image.getHeight(); ++y)
        for (int x = 0; x < image.getWidth(); ++x)
            if (matches (data.getPixelColour (x, y)))
            {
                sx += x + 0.5;
                sy += y + 0.5;
                ++n;
            }

    return n == 0 ? juce::Point<float>() : juce::Point<float> (static_cast<float> (sx / n), static_cast<float> (sy / n));
}

inline bool identical (const juce::Image& a, const juce::Image& b)
{
    if (a.getBounds() != b.getBounds())
        return false;

    const juce::Image::BitmapData da (a, juce::Image::BitmapData::readOnly);
    const juce::Image::BitmapData db (b, juce::Image::BitmapData::readOnly);

    for (int y = 0; y < a.getHeight(); ++y)
        for (int x = 0; x < a.getWidth(); ++x)
            if (da.getPixelColour (x, y) != db.getPixelColour (x, y))
                return false;

    return true;
}

inline juce::Colour at (const juce::Image& image, int x, int y)
{
    return image.getPixelAt (x, y);
}

} // namespace pixels

namespace design
{
/** The product gold of titles and looks. */
inline const juce::Colour gold { halvora::productGoldArgb };
}

/** A mouse event on `target` at `position`, pressed at `downPosition`, as the desktop's main
    mouse source would deliver it; the left button is held unless `mods` says otherwise.
*/
inline juce::MouseEvent mouseEvent (juce::Component& target, juce::Point<float> position, juce::Point<float> downPosition,
                                    int clicks = 1, bool dragged = false,
                                    juce::ModifierKeys mods = juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier))
{
    const auto now = juce::Time::getCurrentTime();
    return juce::MouseEvent (juce::Desktop::getInstance().getMainMouseSource(), position, mods,
                             juce::MouseInputSource::defaultPressure, juce::MouseInputSource::defaultOrientation,
                             juce::MouseInputSource::defaultRotation, juce::MouseInputSource::defaultTiltX,
                             juce::MouseInputSource::defaultTiltY, &target, &target, now, downPosition, now, clicks, dragged);
}

/** The mouse resting over `target` at `position`, no button held: what a wheel turn arrives with. */
inline juce::MouseEvent wheelEvent (juce::Component& target, juce::Point<float> position)
{
    return mouseEvent (target, position, position, 0, false, juce::ModifierKeys());
}
