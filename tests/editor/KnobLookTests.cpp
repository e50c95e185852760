#include "editor/EditorFixture.h"

#include "BinaryData.h"

#include <cmath>

namespace
{

juce::Image knobPicture()
{
    return juce::ImageFileFormat::loadFrom (BinaryData::gold_knobs_png, static_cast<size_t> (BinaryData::gold_knobs_pngSize));
}

juce::Image paintKnob (GoldKnobLAF& look, int w, int h, float position)
{
    juce::Slider slider;
    return pixels::paint (w, h, [&] (juce::Graphics& g) {
        look.drawRotarySlider (g, 0, 0, w, h, position, 0.0f, 1.0f, slider);
    });
}

bool opaque (juce::Colour c) { return c.getAlpha() >= 128; }

// The fallback disc is the gold darkened by 0.2, its rim and pointer the gold brightened by 0.2.
const juce::Colour discGold { 0xFFB0912D };
const juce::Colour pointerGold { 0xFFDBBC58 };

/** How much of a pixel the pointer covers, from its blend between disc and pointer gold. */
float pointerCover (juce::Colour c)
{
    return static_cast<float> (c.getRed() - discGold.getRed())
         / static_cast<float> (pointerGold.getRed() - discGold.getRed());
}

bool isPointer (juce::Colour c) { return pixels::near (c, pointerGold, 6); }

} // namespace

TEST (GoldKnobLook, PictureLooksTheSameAtEveryValue)
{
    GoldKnobLAF look;
    look.knobImage = knobPicture();
    ASSERT_TRUE (look.knobImage.isValid());

    const auto atStart = paintKnob (look, 150, 150, 0.0f);
    EXPECT_TRUE (pixels::identical (atStart, paintKnob (look, 150, 150, 0.5f)));
    EXPECT_TRUE (pixels::identical (atStart, paintKnob (look, 150, 150, 1.0f)));

    // The picture's own transparent margin stays clear; its middle is solid knob.
    EXPECT_TRUE (pixels::isTransparent (pixels::at (atStart, 2, 2)));
    EXPECT_EQ (pixels::at (atStart, 75, 80).getAlpha(), 255);
}

TEST (GoldKnobLook, PictureIsStretchedToTheArea)
{
    GoldKnobLAF look;
    look.knobImage = knobPicture();

    // The knob body is an ellipse about 285 x 265 of the 500 x 500 picture, so on a
    // 200 x 100 area it is about 114 x 53 pixels, and on a square about 57 x 53.
    const auto wide = pixels::boundsOf (paintKnob (look, 200, 100, 0.3f), opaque);
    const auto square = pixels::boundsOf (paintKnob (look, 100, 100, 0.3f), opaque);

    EXPECT_NEAR (wide.getWidth(), 114, 6);
    EXPECT_NEAR (wide.getHeight(), 53, 4);
    EXPECT_NEAR (wide.getCentreX(), 100, 2);

    const auto wideAspect = static_cast<float> (wide.getWidth()) / static_cast<float> (wide.getHeight());
    const auto squareAspect = static_cast<float> (square.getWidth()) / static_cast<float> (square.getHeight());
    EXPECT_NEAR (wideAspect, 2.0f * squareAspect, 0.15f);
}

struct PointerCase
{
    const char* what;
    float position;
    float dx, dy; // unit direction, y pointing down
};

class GoldKnobLookFallback : public testing::TestWithParam<PointerCase>
{
};

TEST_P (GoldKnobLookFallback, PointerTurnsWithTheValue)
{
    const auto& c = GetParam();
    GoldKnobLAF look;
    ASSERT_FALSE (look.knobImage.isValid());

    const auto image = paintKnob (look, 151, 151, c.position);

    // Pointer pixels are those in the pointer gold well inside the rim.
    const auto onPointer = [] (int x, int y, juce::Colour colour) {
        return isPointer (colour) && std::hypot (x - 74.5, y - 74.5) < 70.0;
    };

    double sx = 0.0, sy = 0.0, reach = 0.0;
    int n = 0;

    for (int y = 0; y < 151; ++y)
        for (int x = 0; x < 151; ++x)
            if (onPointer (x, y, pixels::at (image, x, y)))
            {
                const auto px = x + 0.5 - 75.0, py = y + 0.5 - 75.0;
                sx += px;
                sy += py;
                reach = juce::jmax (reach, px * c.dx + py * c.dy);
                ++n;
            }

    ASSERT_GT (n, 0);
    const auto length = std::hypot (sx, sy);
    EXPECT_NEAR (sx / length, c.dx, 0.05);
    EXPECT_NEAR (sy / length, c.dy, 0.05);

    // 0.42 of the shorter side: 63.42 pixels from the centre.
    EXPECT_NEAR (reach, 63.42, 1.5);
}

const PointerCase pointerCases[] {
    { "LowerLeftAtZero", 0.0f, -0.7071f, 0.7071f },
    { "StraightUpAtHalf", 0.5f, 0.0f, -1.0f },
    { "LowerRightAtOne", 1.0f, 0.7071f, 0.7071f },
};

INSTANTIATE_TEST_SUITE_P (Look, GoldKnobLookFallback, testing::ValuesIn (pointerCases),
                          [] (const auto& testInfo) { return std::string (testInfo.param.what); });

TEST (GoldKnobLook, FallbackPointerStartsOnTheIntegerCentre)
{
    GoldKnobLAF look;
    const auto image = paintKnob (look, 151, 151, 0.5f);

    // Straight up from (75, 75), 3 pixels thick: x 73.5 to 76.5, so columns 74 and 75
    // are covered whole and 73 and 76 half; a centre at 75.5 would cover 74 to 76 whole.
    const auto row = 40;
    EXPECT_NEAR (pointerCover (pixels::at (image, 74, row)), 1.0f, 0.1f);
    EXPECT_NEAR (pointerCover (pixels::at (image, 75, row)), 1.0f, 0.1f);
    EXPECT_NEAR (pointerCover (pixels::at (image, 73, row)), 0.5f, 0.15f);
    EXPECT_NEAR (pointerCover (pixels::at (image, 76, row)), 0.5f, 0.15f);
    EXPECT_NEAR (pointerCover (pixels::at (image, 77, row)), 0.0f, 0.05f);

    // It ends at y 75: the pixel row above is covered, the row below the centre is plain disc.
    EXPECT_NEAR (pointerCover (pixels::at (image, 75, 74)), 1.0f, 0.1f);
    EXPECT_TRUE (pixels::near (pixels::at (image, 75, 76), discGold, 2));
}

TEST (GoldKnobLook, FallbackDiscFillsTheAreaWithABrightRim)
{
    GoldKnobLAF look;
    const auto image = paintKnob (look, 200, 100, 0.5f);

    // An oval the size of the area: the disc gold inside, the rim at its edges, clear corners.
    EXPECT_TRUE (pixels::near (pixels::at (image, 100, 80), discGold, 2));
    EXPECT_TRUE (pixels::near (pixels::at (image, 40, 50), discGold, 2));
    EXPECT_TRUE (isPointer (pixels::at (image, 100, 0)));
    EXPECT_TRUE (isPointer (pixels::at (image, 0, 50)));
    EXPECT_TRUE (isPointer (pixels::at (image, 199, 50)));
    EXPECT_TRUE (isPointer (pixels::at (image, 100, 99)));

    for (auto corner : { juce::Point<int> (0, 0), { 199, 0 }, { 0, 99 }, { 199, 99 } })
        EXPECT_TRUE (pixels::isTransparent (pixels::at (image, corner.x, corner.y)));

    const auto painted = pixels::boundsOf (image, [] (juce::Colour c) { return c.getAlpha() > 0; });
    EXPECT_EQ (painted, juce::Rectangle<int> (0, 0, 200, 100));

    // Straight up from (100, 50), 0.42 x 100 = 42 long: it ends at y 8.
    EXPECT_NEAR (pointerCover (pixels::at (image, 100, 8)), 1.0f, 0.1f);
    EXPECT_NEAR (pointerCover (pixels::at (image, 100, 7)), 0.0f, 0.05f);
}
