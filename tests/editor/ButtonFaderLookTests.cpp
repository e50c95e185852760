#include "editor/EditorFixture.h"

namespace
{

struct ButtonState
{
    bool on = false, highlighted = false, down = false, enabled = true, colouredIds = false;
};

/** A 40 x 22 "ON" button drawn by the look, background then text, as TextButton paints it. */
juce::Image paintButton (const ButtonState& state)
{
    OnButtonLookAndFeel look;
    juce::TextButton button ("ON");
    button.setBounds (0, 0, 40, 22);
    button.setToggleState (state.on, juce::dontSendNotification);
    button.setEnabled (state.enabled);

    if (state.colouredIds)
        for (auto id : { juce::TextButton::buttonColourId, juce::TextButton::buttonOnColourId,
                         juce::TextButton::textColourOffId, juce::TextButton::textColourOnId })
            button.setColour (id, juce::Colours::red);

    return pixels::paint (40, 22, [&] (juce::Graphics& g) {
        look.drawButtonBackground (g, button, button.findColour (juce::TextButton::buttonColourId),
                                   state.highlighted, state.down);
        look.drawButtonText (g, button, state.highlighted, state.down);
    });
}

/** The whitest pixel of the label's area: the smallest of its three channels. */
int whitest (const juce::Image& image)
{
    int best = 0;

    for (int y = 4; y < 18; ++y)
        for (int x = 10; x < 30; ++x)
        {
            const auto c = pixels::at (image, x, y);
            best = juce::jmax (best, juce::jmin (static_cast<int> (c.getRed()), static_cast<int> (c.getGreen()),
                                                 static_cast<int> (c.getBlue())));
        }

    return best;
}

const juce::Colour thumbGold { 0xFFDBBC58 };     // the gold brightened by 0.2
const juce::Colour grooveOnBlack { 0xFF947A26 }; // the gold at alpha 0.7 over the black body

bool isThumb (juce::Colour c) { return pixels::near (c, thumbGold, 4); }

/** A fader of width w drawn by the look: the track area is inset 12 at the top and bottom, as the slider does it. */
juce::Image paintFader (int w, int h, float position)
{
    FaderLookAndFeel look;
    juce::Slider slider (juce::Slider::LinearVertical, juce::Slider::NoTextBox);
    return pixels::paint (w, h, [&] (juce::Graphics& g) {
        look.drawLinearSlider (g, 0, 12, w, h - 24, position, 12.0f, static_cast<float> (h - 12),
                               juce::Slider::LinearVertical, slider);
    });
}

/** How much of row y the thumb covers, from the red channel of thumb gold over black. */
float thumbWidthOnRow (const juce::Image& image, int y)
{
    float sum = 0.0f;

    for (int x = 1; x < image.getWidth() - 1; ++x)
        sum += static_cast<float> (pixels::at (image, x, y).getRed()) / static_cast<float> (thumbGold.getRed());

    return sum;
}

} // namespace

TEST (OnButtonLook, OffIsABlackPillWithAGoldEdge)
{
    const auto image = paintButton ({});

    EXPECT_EQ (pixels::at (image, 5, 11), juce::Colours::black);
    EXPECT_EQ (pixels::at (image, 35, 11), juce::Colours::black);
    EXPECT_EQ (pixels::at (image, 20, 2), juce::Colours::black);

    // The 1.5 edge on the rectangle inset by 0.5 covers the first and last pixel rows.
    EXPECT_TRUE (pixels::near (pixels::at (image, 20, 0), design::gold, 3));
    EXPECT_TRUE (pixels::near (pixels::at (image, 20, 21), design::gold, 3));

    // Pill ends: the corners outside the rounding are left clear, and there is no halo.
    for (auto p : { juce::Point<int> (0, 0), { 1, 1 }, { 39, 0 }, { 38, 1 }, { 0, 21 }, { 1, 20 }, { 39, 21 }, { 38, 20 } })
        EXPECT_TRUE (pixels::isTransparent (pixels::at (image, p.x, p.y))) << p.toString();
}

TEST (OnButtonLook, OnIsAGoldPillWithAHaloOnlyInTheCorners)
{
    const auto image = paintButton ({ true });
    const auto pill = design::gold.withAlpha (static_cast<juce::uint8> (0xF2));

    EXPECT_TRUE (pixels::near (pixels::at (image, 5, 11), pill, 3));
    EXPECT_TRUE (pixels::near (pixels::at (image, 35, 11), pill, 3));

    // Along the straight edges the pill meets the button's edge and the halo, 2 pixels
    // outside, is clipped away: nothing is added on top of the pill there.
    for (int x = 11; x < 29; ++x)
    {
        EXPECT_TRUE (pixels::near (pixels::at (image, x, 0), pill, 3)) << x;
        EXPECT_TRUE (pixels::near (pixels::at (image, x, 21), pill, 3)) << x;
    }

    // In each corner, outside the pill, the halo shows: the gold at alpha 0.35 (0x59).
    const auto halo = design::gold.withAlpha (static_cast<juce::uint8> (0x59));

    for (auto p : { juce::Point<int> (1, 1), { 38, 1 }, { 1, 20 }, { 38, 20 } })
        EXPECT_TRUE (pixels::near (pixels::at (image, p.x, p.y), halo, 8)) << p.toString() << pixels::at (image, p.x, p.y).toString();
}

TEST (OnButtonLook, LabelIsWhiteInBothStates)
{
    EXPECT_GE (whitest (paintButton ({})), 245);
    EXPECT_GE (whitest (paintButton ({ true })), 245);

    // Centred: the painted label sits around the middle of the pill.
    const auto off = paintButton ({});
    const auto label = pixels::boundsOf (off, [] (juce::Colour c) { return c.getBlue() > 128 && c.getRed() > 128; });
    EXPECT_NEAR (label.getCentreX(), 20, 2);
    EXPECT_NEAR (label.getCentreY(), 11, 2);
}

struct ButtonVariant
{
    const char* what;
    ButtonState state;
};

class OnButtonLookIgnores : public testing::TestWithParam<ButtonVariant>
{
};

TEST_P (OnButtonLookIgnores, DrawsLikeThePlainButton)
{
    for (const auto on : { false, true })
    {
        SCOPED_TRACE (on ? "on" : "off");
        auto state = GetParam().state;
        state.on = on;
        ButtonState plain;
        plain.on = on;

        EXPECT_TRUE (pixels::identical (paintButton (state), paintButton (plain)));
    }
}

const ButtonVariant buttonVariants[] {
    { "Hover", { false, true, false, true, false } },
    { "Press", { false, false, true, true, false } },
    { "HoverAndPress", { false, true, true, true, false } },
    { "Disabled", { false, false, false, false, false } },
    { "ColourIds", { false, false, false, true, true } },
};

INSTANTIATE_TEST_SUITE_P (Look, OnButtonLookIgnores, testing::ValuesIn (buttonVariants),
                          [] (const auto& testInfo) { return std::string (testInfo.param.what); });

struct FaderWidth
{
    int width;
    int grooveLeft, grooveWidth;
    int thumbWholePixels; // across the thumb's middle: the circle spans 0.05 w to 0.95 w
};

class FaderLookWidths : public testing::TestWithParam<FaderWidth>
{
};

TEST_P (FaderLookWidths, GrooveAQuarterWideLessFourAndThumbNineTenths)
{
    const auto& c = GetParam();
    const auto image = paintFader (c.width, 320, 250.0f);

    // Far from the thumb, inside the gold edge: black body, and the groove, if any.
    for (int x = 1; x < c.width - 1; ++x)
    {
        const auto inGroove = x >= c.grooveLeft && x < c.grooveLeft + c.grooveWidth;
        EXPECT_TRUE (pixels::near (pixels::at (image, x, 100), inGroove ? grooveOnBlack : juce::Colours::black, 3))
            << "x " << x << ": " << pixels::at (image, x, 100).toString();
    }

    EXPECT_TRUE (pixels::near (pixels::at (image, 0, 100), design::gold, 3));
    EXPECT_TRUE (pixels::near (pixels::at (image, c.width - 1, 100), design::gold, 3));

    // The thumb: a circle 0.9 w across, centred on the position in the middle of the fader.
    EXPECT_EQ (pixels::count (image, { 0, 249, c.width, 1 }, isThumb), c.thumbWholePixels);
    const auto centre = pixels::centreOf (image, isThumb);
    EXPECT_NEAR (centre.x, static_cast<float> (c.width) / 2.0f, 0.3f);
    EXPECT_NEAR (centre.y, 250.0f, 0.3f);
}

const FaderWidth faderWidths[] {
    { 24, 11, 2, 20 },
    { 32, 14, 4, 28 },
    { 16, 0, 0, 14 },
    { 12, 0, 0, 10 },
};

INSTANTIATE_TEST_SUITE_P (Look, FaderLookWidths, testing::ValuesIn (faderWidths),
                          [] (const auto& testInfo) { return "Width" + std::to_string (testInfo.param.width); });

TEST (FaderLook, GrooveRunsTheTrackInsetByTwo)
{
    // The track is y 12 to 308, the groove y 14 to 306 with ends rounded 3 pixels deep.
    // Thumb at the bottom, so the groove's top end shows; at the top for its bottom end.
    const auto thumbDown = paintFader (24, 320, 308.0f);
    EXPECT_TRUE (pixels::near (pixels::at (thumbDown, 11, 12), design::gold, 3)); // body edge
    EXPECT_EQ (pixels::at (thumbDown, 11, 13), juce::Colours::black);
    EXPECT_NE (pixels::at (thumbDown, 11, 14), juce::Colours::black);
    EXPECT_TRUE (pixels::near (pixels::at (thumbDown, 11, 17), grooveOnBlack, 3));

    const auto thumbUp = paintFader (24, 320, 12.0f);
    EXPECT_TRUE (pixels::near (pixels::at (thumbUp, 12, 302), grooveOnBlack, 3));
    EXPECT_NE (pixels::at (thumbUp, 12, 305), juce::Colours::black);
    EXPECT_EQ (pixels::at (thumbUp, 12, 306), juce::Colours::black);
    EXPECT_TRUE (pixels::near (pixels::at (thumbUp, 12, 307), design::gold, 3)); // body edge
}

TEST (FaderLook, ThumbIsTwentyOnePointSixAcrossStartingOnePointTwoIn)
{
    const auto image = paintFader (24, 320, 160.0f);

    // Coverage summed along the thumb's middle row, partly covered edge pixels included.
    EXPECT_NEAR (thumbWidthOnRow (image, 159), 21.6f, 0.3f);
    EXPECT_NEAR (static_cast<float> (pixels::at (image, 1, 159).getRed()) / static_cast<float> (thumbGold.getRed()), 0.8f, 0.1f);
    EXPECT_NEAR (static_cast<float> (pixels::at (image, 22, 159).getRed()) / static_cast<float> (thumbGold.getRed()), 0.8f, 0.1f);
}

TEST (FaderLook, ThumbCentreSitsOnTheEndsOfTheTrack)
{
    for (const auto position : { 12.0f, 160.0f, 308.0f })
    {
        SCOPED_TRACE (position);
        const auto image = paintFader (24, 320, position);
        const auto centre = pixels::centreOf (image, isThumb);
        EXPECT_NEAR (centre.x, 12.0f, 0.3f);
        EXPECT_NEAR (centre.y, position, 0.3f);
    }

    // At the top half the thumb overhangs the body, over nothing.
    const auto top = paintFader (24, 320, 12.0f);
    EXPECT_TRUE (isThumb (pixels::at (top, 12, 3)));
    EXPECT_TRUE (pixels::isTransparent (pixels::at (top, 12, 0)));
    EXPECT_TRUE (pixels::isTransparent (pixels::at (top, 0, 5)));
}
