#include "editor/EditorFixture.h"
#include "HalvoraVocabulary.h"

TEST_F (EditorTest, FixedWindowOfTwelveHundredBySixHundred)
{
    EXPECT_EQ (editor->getWidth(), 1200);
    EXPECT_EQ (editor->getHeight(), 600);
    EXPECT_FALSE (editor->isResizable());
    EXPECT_TRUE (editor->isOpaque());
}

TEST_F (EditorTest, HoldsItsTwentySixControlsAndNothingElse)
{
    const auto controls = inspect().controls();
    ASSERT_EQ (controls.size(), 26u);
    EXPECT_EQ (editor->getNumChildComponents(), 26);

    for (const auto& [name, component] : controls)
    {
        EXPECT_EQ (component->getParentComponent(), editor.get()) << name;
        EXPECT_TRUE (component->isVisible()) << name;
    }
}

//==============================================================================
struct ControlBounds
{
    const char* name;
    int x, y, w, h;
};

class EditorLayout : public EditorTest, public testing::WithParamInterface<ControlBounds>
{
};

TEST_P (EditorLayout, FixedBounds)
{
    const auto& c = GetParam();
    auto* control = inspect().control (c.name);
    ASSERT_NE (control, nullptr);
    EXPECT_EQ (control->getBounds(), juce::Rectangle<int> (c.x, c.y, c.w, c.h));

    // The layout is fixed pixels: a host that sizes the window differently moves nothing.
    editor->setSize (900, 700);
    EXPECT_EQ (control->getBounds(), juce::Rectangle<int> (c.x, c.y, c.w, c.h));
}

const ControlBounds controlBounds[] {
    { "formantKnob", 325, -30, 150, 150 },
    { "gainKnob", 725, -30, 150, 150 },
    { "vibRateKnob", 100, 160, 300, 300 },
    { "vibDepthKnob", 800, 150, 300, 300 },
    { "morvelKnob", 530, 415, 140, 140 },
    { "formantLabel", 280, 128, 240, 28 },
    { "gainLabel", 680, 128, 240, 28 },
    { "vibRateLabel", 130, 393, 240, 28 },
    { "vibDepthLabel", 830, 383, 240, 28 },
    { "morvelLabel", 480, 563, 240, 28 },
    { "rangeLabel", 85, 40, 160, 28 },
    { "rangeBox", 60, 64, 210, 40 },
    { "voiceLabel", 955, 40, 160, 28 },
    { "voiceBox", 930, 64, 210, 40 },
    { "keyLabel", 85, 490, 160, 28 },
    { "keyBox", 60, 522, 210, 40 },
    { "scaleLabel", 955, 490, 160, 28 },
    { "scaleBox", 930, 522, 210, 40 },
    { "onButton1", 249, 40, 40, 22 },
    { "onButton2", 1119, 40, 40, 22 },
    { "onButton3", 249, 490, 40, 22 },
    { "onButton4", 1119, 490, 40, 22 },
    { "delayFader", 40, 140, 24, 320 },
    { "reverbFader", 1136, 140, 24, 320 },
    { "delayLabel", 72, 140, 32, 320 },
    { "reverbLabel", 1096, 140, 32, 320 },
};

INSTANTIATE_TEST_SUITE_P (Editor, EditorLayout, testing::ValuesIn (controlBounds),
                          [] (const auto& testInfo) { return std::string (testInfo.param.name); });

//==============================================================================
struct Overlap
{
    const char* what;
    int x, y;        // a point inside both controls
    const char* top; // the one that takes a click there
};

class EditorStacking : public EditorTest, public testing::WithParamInterface<Overlap>
{
};

TEST_P (EditorStacking, OverlapsGoToTheControlOnTop)
{
    const auto& c = GetParam();
    auto* top = inspect().control (c.top);
    ASSERT_NE (top, nullptr);

    // The window is visible in its host, as it must be to take a click at all; a box's
    // click lands on the text inside it, which counts as the box.
    editor->setVisible (true);
    auto* hit = editor->getComponentAt (c.x, c.y);
    EXPECT_TRUE (hit == top || top->isParentOf (hit)) << (hit != nullptr ? hit->getBounds().toString() : "nothing");
}

// The knobs lie under the titles and captions that reach over their faces; each box lies
// over the foot of its title.
const Overlap overlaps[] {
    { "VibratoRateTitleOverItsKnob", 250, 400, "vibRateLabel" },
    { "VibratoDepthTitleOverItsKnob", 950, 395, "vibDepthLabel" },
    { "GainTitleOverVibratoDepthKnob", 850, 153, "gainLabel" },
    { "DelayCaptionOverVibratoRateKnob", 102, 300, "delayLabel" },
    { "ReverbCaptionOverVibratoDepthKnob", 1098, 300, "reverbLabel" },
    { "RangeBoxOverItsTitle", 165, 66, "rangeBox" },
    { "VoiceBoxOverItsTitle", 1035, 66, "voiceBox" },
};

INSTANTIATE_TEST_SUITE_P (Editor, EditorStacking, testing::ValuesIn (overlaps),
                          [] (const auto& testInfo) { return std::string (testInfo.param.what); });

//==============================================================================
struct SliderBinding
{
    const char* name;
    const char* id;
    double min, max, interval, defaultValue;
    const char* defaultText;
    float elsewhere; // a value away from the default
};

class EditorSliders : public EditorTest, public testing::WithParamInterface<SliderBinding>
{
};

TEST_P (EditorSliders, TakeTheParameterRangeStepAndText)
{
    const auto& c = GetParam();
    auto& slider = inspect().slider (c.name);

    // Ranges and steps are single-precision floats widened to double.
    EXPECT_NEAR (slider.getMinimum(), c.min, 1e-6);
    EXPECT_NEAR (slider.getMaximum(), c.max, 1e-6);
    EXPECT_NEAR (slider.getInterval(), c.interval, 1e-7);
    EXPECT_NEAR (slider.getValue(), c.defaultValue, 1e-6);
    EXPECT_EQ (slider.getTextFromValue (c.defaultValue), c.defaultText);
    EXPECT_EQ (slider.getTextBoxPosition(), juce::Slider::NoTextBox);

    EXPECT_TRUE (slider.isDoubleClickReturnEnabled());
    EXPECT_NEAR (slider.getDoubleClickReturnValue(), c.defaultValue, 1e-6);
}

TEST_P (EditorSliders, FollowTheParameterAndDoubleClickReturnsToDefault)
{
    const auto& c = GetParam();
    auto& slider = inspect().slider (c.name);

    // Host automation moves the control...
    set (c.id, c.elsewhere);
    EXPECT_NEAR (slider.getValue(), c.elsewhere, 1e-4);

    // ...and a double-click on the control puts the parameter back to its default.
    const juce::Point<float> middle (slider.getLocalBounds().getCentre().toFloat());
    slider.mouseDoubleClick (mouseEvent (slider, middle, middle, 2));
    EXPECT_NEAR (get (c.id), c.defaultValue, 1e-6);
    EXPECT_NEAR (slider.getValue(), c.defaultValue, 1e-6);
}

const SliderBinding sliderBindings[] {
    { "formantKnob", halvora::ParamID::formant, -1.0, 1.0, 0.001, 0.0, "0.000", 0.5f },
    { "gainKnob", halvora::ParamID::gain, -24.0, 24.0, 0.01, 0.0, "0.00", 12.0f },
    { "vibRateKnob", halvora::ParamID::vibRate, 0.1, 10.0, 0.001, 5.0, "5.000", 8.0f },
    { "vibDepthKnob", halvora::ParamID::vibDepth, 0.0, 100.0, 0.01, 0.0, "0.00", 40.0f },
    { "morvelKnob", halvora::ParamID::morvel, 0.0, 1.0, 0.001, 0.5, "0.500", 0.9f },
    { "delayFader", halvora::ParamID::delayMix, 0.0, 100.0, 0.1, 0.0, "0.0", 60.0f },
    { "reverbFader", halvora::ParamID::reverbMix, 0.0, 100.0, 0.1, 0.0, "0.0", 25.0f },
};

INSTANTIATE_TEST_SUITE_P (Editor, EditorSliders, testing::ValuesIn (sliderBindings),
                          [] (const auto& testInfo) { return std::string (testInfo.param.name); });

TEST_F (EditorTest, KnobsAreRotaryWithoutTextBoxOrFocusAndWithWheel)
{
    for (const auto* name : { "formantKnob", "gainKnob", "vibRateKnob", "vibDepthKnob", "morvelKnob" })
    {
        SCOPED_TRACE (name);
        auto& knob = inspect().slider (name);
        EXPECT_EQ (knob.getSliderStyle(), juce::Slider::RotaryHorizontalVerticalDrag);
        EXPECT_EQ (knob.getTextBoxPosition(), juce::Slider::NoTextBox);
        EXPECT_FALSE (knob.getWantsKeyboardFocus());
        EXPECT_TRUE (knob.isScrollWheelEnabled());
        EXPECT_EQ (&knob.getLookAndFeel(), &inspect().goldKnobLAF());
    }
}

TEST_F (EditorTest, FadersAreVerticalAndMoveInTheirParameterSteps)
{
    for (const auto* name : { "delayFader", "reverbFader" })
    {
        SCOPED_TRACE (name);
        auto& fader = inspect().slider (name);
        EXPECT_EQ (fader.getSliderStyle(), juce::Slider::LinearVertical);
        EXPECT_EQ (&fader.getLookAndFeel(), &inspect().faderLAF());

        // A move to 33.33 lands on the 0.1 grid, in the control and in the parameter.
        fader.setValue (33.33, juce::sendNotificationSync);
        EXPECT_NEAR (fader.getValue(), 33.3, 1e-4);
    }

    EXPECT_NEAR (get (halvora::ParamID::delayMix), 33.3f, 1e-4f);
    EXPECT_NEAR (get (halvora::ParamID::reverbMix), 33.3f, 1e-4f);
}

TEST_F (EditorTest, DraggingAKnobShowsItsValuePopupInsideTheWindow)
{
    auto& knob = inspect().slider ("gainKnob");
    const juce::Point<float> start (75.0f, 75.0f);

    knob.mouseDown (mouseEvent (knob, start, start));
    auto* popup = knob.getCurrentPopupDisplay();
    ASSERT_NE (popup, nullptr);
    EXPECT_EQ (popup->getParentComponent(), editor.get());
    EXPECT_TRUE (popup->isVisible());
    EXPECT_FALSE (popup->isOnDesktop());

    // 50 pixels up is a fifth of the default 250-pixel drag: 0.5 + 0.2 of -24..24 dB.
    const juce::Point<float> up (75.0f, 25.0f);
    knob.mouseDrag (mouseEvent (knob, up, start, 1, true));
    EXPECT_NEAR (get (halvora::ParamID::gain), 9.6f, 1e-3f);
    EXPECT_NE (knob.getCurrentPopupDisplay(), nullptr);

    knob.mouseUp (mouseEvent (knob, up, start, 1, true));
    EXPECT_EQ (knob.getCurrentPopupDisplay(), nullptr);
    EXPECT_FALSE (knob.hasKeyboardFocus (true));
}

TEST_F (EditorTest, MouseWheelTurnsAKnob)
{
    auto& knob = inspect().slider ("gainKnob");
    const juce::Point<float> middle (75.0f, 75.0f);
    juce::MouseWheelDetails wheel { 0.0f, 0.1f, false, false, false };

    // The default wheel step is 0.15 of the range per unit: 0.015 of 48 dB.
    knob.mouseWheelMove (wheelEvent (knob, middle), wheel);
    EXPECT_NEAR (get (halvora::ParamID::gain), 0.72f, 1e-3f);
    EXPECT_NEAR (knob.getValue(), 0.72, 1e-3);
}

//==============================================================================
struct BoxBinding
{
    const char* name;
    const char* id;
    int openAt;        // the parameter's choice index when the window opens
    const char* shown; // what the box shows then
};

class EditorBoxes : public EditorTest, public testing::WithParamInterface<BoxBinding>
{
};

TEST_P (EditorBoxes, ListTheParameterChoicesInOrder)
{
    const auto& c = GetParam();
    auto& box = inspect().box (c.name);
    auto* choice = dynamic_cast<juce::AudioParameterChoice*> (&testutil::param (processor, c.id));
    ASSERT_NE (choice, nullptr);

    ASSERT_EQ (box.getNumItems(), choice->choices.size());

    for (int i = 0; i < box.getNumItems(); ++i)
    {
        EXPECT_EQ (box.getItemText (i), choice->choices[i]);
        EXPECT_EQ (box.getItemId (i), i + 1);
    }

    EXPECT_EQ (box.getText(), choice->choices[0]);
}

TEST_P (EditorBoxes, OpenOnTheParameterCurrentChoice)
{
    const auto& c = GetParam();
    close();
    set (c.id, static_cast<float> (c.openAt));
    open();

    auto& box = inspect().box (c.name);
    EXPECT_EQ (box.getText(), c.shown);
    EXPECT_EQ (box.getSelectedItemIndex(), c.openAt);
}

TEST_P (EditorBoxes, ChoosingAnItemSetsTheParameter)
{
    const auto& c = GetParam();
    auto& box = inspect().box (c.name);

    box.setSelectedItemIndex (c.openAt, juce::sendNotificationSync);
    EXPECT_EQ (juce::roundToInt (get (c.id)), c.openAt);

    // And the host's change comes back to the box.
    set (c.id, 0.0f);
    EXPECT_EQ (box.getSelectedItemIndex(), 0);
}

const BoxBinding boxBindings[] {
    { "rangeBox", halvora::ParamID::range, 3, halvora::rangeNames[3] },
    { "voiceBox", halvora::ParamID::voice, 1, halvora::voiceNames[1] },
    { "keyBox", halvora::ParamID::key, 2, halvora::keyNames[2] },
    { "scaleBox", halvora::ParamID::scale, 4, halvora::scaleNames[4] },
};

INSTANTIATE_TEST_SUITE_P (Editor, EditorBoxes, testing::ValuesIn (boxBindings),
                          [] (const auto& testInfo) { return std::string (testInfo.param.name); });

TEST_F (EditorTest, BoxesAreCentredBlackAndGoldWithThePopupLook)
{
    // Only these IDs use the framework's named gold (0xFFFFD700), not the product gold.
    const std::pair<int, juce::Colour> boxColours[] {
        { juce::ComboBox::backgroundColourId, juce::Colour (0xFF000000) },
        { juce::ComboBox::outlineColourId, juce::Colour (0xFFFFD700) },
        { juce::ComboBox::textColourId, juce::Colour (0xFFFFFFFF) },
        { juce::ComboBox::arrowColourId, juce::Colour (0xFFFFD700) },
        { juce::ComboBox::buttonColourId, juce::Colour (0xFF000000) },
        { juce::PopupMenu::backgroundColourId, juce::Colour (0xFF000000) },
        { juce::PopupMenu::highlightedBackgroundColourId, juce::Colour (0xFFFFD700) },
        { juce::PopupMenu::highlightedTextColourId, juce::Colour (0xFF000000) },
        { juce::PopupMenu::textColourId, juce::Colour (0xFFFFFFFF) },
    };

    for (const auto* name : { "rangeBox", "voiceBox", "keyBox", "scaleBox" })
    {
        SCOPED_TRACE (name);
        auto& box = inspect().box (name);
        EXPECT_EQ (box.getJustificationType().getFlags(), juce::Justification::centred);
        EXPECT_EQ (&box.getLookAndFeel(), &inspect().popupLAF());

        for (const auto& [id, colour] : boxColours)
        {
            EXPECT_TRUE (box.isColourSpecified (id)) << juce::String::toHexString (id);
            EXPECT_EQ (box.findColour (id), colour) << juce::String::toHexString (id);
        }
    }
}

TEST_F (EditorTest, MouseWheelStepsThroughABox)
{
    auto& box = inspect().box ("keyBox");
    const juce::Point<float> middle (100.0f, 20.0f);

    // Each 0.2 of wheel is one item; scrolling down moves to the next.
    box.mouseWheelMove (wheelEvent (box, middle), { 0.0f, -0.3f, false, false, false });
    EXPECT_EQ (box.getText(), halvora::keyNames[1]);
}

//==============================================================================
struct LabelText
{
    const char* name;
    const char* text;
    float height;
};

class EditorLabels : public EditorTest, public testing::WithParamInterface<LabelText>
{
};

TEST_P (EditorLabels, BoldGoldCentredText)
{
    const auto& c = GetParam();
    auto& label = inspect().label (c.name);

    EXPECT_EQ (label.getText(), c.text);
    EXPECT_EQ (label.findColour (juce::Label::textColourId), design::gold);
    EXPECT_EQ (label.getJustificationType().getFlags(), juce::Justification::centred);
    EXPECT_TRUE (label.getFont().isBold());
    EXPECT_FLOAT_EQ (label.getFont().getHeight(), c.height);

    // Titles draw with the default look; the editor sets none on itself.
    EXPECT_EQ (&label.getLookAndFeel(), &juce::LookAndFeel::getDefaultLookAndFeel());
}

const LabelText labelTexts[] {
    { "formantLabel", "Formant", 28.0f },
    { "gainLabel", "Gain", 28.0f },
    { "vibRateLabel", "Vibrato Rate", 28.0f },
    { "vibDepthLabel", "Vibrato Depth", 28.0f },
    { "morvelLabel", "Morvel", 28.0f },
    { "rangeLabel", "Range", 28.0f },
    { "voiceLabel", "Voice", 28.0f },
    { "keyLabel", "Key", 28.0f },
    { "scaleLabel", "Scale", 28.0f },
    { "delayLabel", "D\nE\nL\nA\nY", 20.0f },
    { "reverbLabel", "R\nE\nV\nE\nR\nB", 20.0f },
};

INSTANTIATE_TEST_SUITE_P (Editor, EditorLabels, testing::ValuesIn (labelTexts),
                          [] (const auto& testInfo) { return std::string (testInfo.param.name); });

TEST_F (EditorTest, KnobLookSharesTheDecodedKnobPicture)
{
    const auto& knobImage = inspect().goldKnobLAF().knobImage;
    ASSERT_TRUE (knobImage.isValid());
    EXPECT_EQ (knobImage.getWidth(), 500);
    EXPECT_EQ (knobImage.getHeight(), 500);

    // One set of pixels for the editor and the look.
    EXPECT_TRUE (knobImage == inspect().knobSourceImage());

    ASSERT_TRUE (inspect().boardImage().isValid());
    EXPECT_EQ (inspect().boardImage().getBounds(), juce::Rectangle<int> (0, 0, 1850, 1152));
}
