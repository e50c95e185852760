#include "editor/EditorFixture.h"
#include "HalvoraVocabulary.h"

namespace
{

struct ItemLook
{
    bool separator = false, active = true, highlighted = false, ticked = false, subMenu = false;
    juce::String text, shortcut;
    const juce::Drawable* icon = nullptr;
    const juce::Colour* colour = nullptr;
};

juce::Image paintItem (int w, int h, const ItemLook& item)
{
    HLPopupLAF look;
    return pixels::paint (w, h, [&] (juce::Graphics& g) {
        look.drawPopupMenuItem (g, { 0, 0, w, h }, item.separator, item.active, item.highlighted, item.ticked,
                                item.subMenu, item.text, item.shortcut, item.icon, item.colour);
    });
}

bool painted (juce::Colour c) { return c.getAlpha() > 0; }

} // namespace

TEST (PopupLook, BackgroundIsABlackPanelWithAGoldEdgeAndClearCorners)
{
    HLPopupLAF look;
    const auto image = pixels::paint (120, 80, [&] (juce::Graphics& g) { look.drawPopupMenuBackground (g, 120, 80); });

    EXPECT_EQ (pixels::at (image, 60, 40), juce::Colours::black);
    EXPECT_EQ (pixels::at (image, 60, 1), juce::Colours::black);

    // The 2-pixel edge is centred on the window's edge: its inner pixel shows, in the product gold.
    for (auto p : { juce::Point<int> (60, 0), { 60, 79 }, { 0, 40 }, { 119, 40 } })
        EXPECT_TRUE (pixels::near (pixels::at (image, p.x, p.y), design::gold, 2)) << p.toString();

    // Outside the 8-pixel rounding nothing is painted, the same in all four corners.
    const auto clearIn = [&] (int x, int y) { return pixels::count (image, { x, y, 8, 8 }, pixels::isTransparent); };
    const auto corner = clearIn (0, 0);
    EXPECT_GT (corner, 2);
    EXPECT_EQ (clearIn (112, 0), corner);
    EXPECT_EQ (clearIn (0, 72), corner);
    EXPECT_EQ (clearIn (112, 72), corner);
    EXPECT_EQ (pixels::count (image, pixels::isTransparent), 4 * corner);
}

struct HighlightCase
{
    const char* what;
    int height;
    juce::Rectangle<int> expected;
};

class PopupLookHighlight : public testing::TestWithParam<HighlightCase>
{
};

TEST_P (PopupLookHighlight, FaintGoldInsetByTwo)
{
    const auto& c = GetParam();
    ItemLook item;
    item.highlighted = true;

    const auto image = paintItem (200, c.height, item);
    EXPECT_EQ (pixels::boundsOf (image, painted), c.expected);

    if (! c.expected.isEmpty())
    {
        // Gold at alpha 0.15 (0x26), read back from the premultiplied picture.
        const auto middle = pixels::at (image, 100, c.height / 2);
        EXPECT_NEAR (middle.getAlpha(), 0x26, 1);
        EXPECT_TRUE (pixels::near (middle.withAlpha (design::gold.getAlpha()), design::gold, 8)) << middle.toString();
    }
}

const HighlightCase highlightCases[] {
    { "ThirtyHighGetsTwentySix", 30, { 2, 2, 196, 26 } },
    { "ThreeHighGetsNone", 3, {} },
};

INSTANTIATE_TEST_SUITE_P (Look, PopupLookHighlight, testing::ValuesIn (highlightCases),
                          [] (const auto& testInfo) { return std::string (testInfo.param.what); });

struct TextColourCase
{
    const char* what;
    bool ownRed, active;
    juce::Colour expected;
    float alphaScale;
};

class PopupLookText : public testing::TestWithParam<TextColourCase>
{
};

TEST_P (PopupLookText, ColourAndAlpha)
{
    const auto& c = GetParam();
    const juce::Colour red (0xFFFF0000);

    ItemLook reference;
    reference.text = "Baritone";
    const auto opaqueWhite = paintItem (200, 30, reference);

    auto item = reference;
    item.active = c.active;
    item.colour = c.ownRed ? &red : nullptr;
    const auto image = paintItem (200, 30, item);

    // The same glyphs in the expected colour, their coverage scaled by the item's alpha.
    ASSERT_GT (pixels::count (opaqueWhite, painted), 50);
    int worst = 0, strongPixels = 0;

    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 200; ++x)
        {
            const auto ref = pixels::at (opaqueWhite, x, y);
            const auto actual = pixels::at (image, x, y);
            worst = juce::jmax (worst, std::abs (actual.getAlpha() - juce::roundToInt (static_cast<float> (ref.getAlpha()) * c.alphaScale)));

            if (ref.getAlpha() > 200)
            {
                ++strongPixels;
                EXPECT_TRUE (pixels::near (actual.withAlpha (1.0f), c.expected, 10)) << x << ", " << y << ": " << actual.toString();
            }
        }

    EXPECT_LE (worst, 2);
    EXPECT_GT (strongPixels, 0);
}

const TextColourCase textColourCases[] {
    { "WhiteWhenActive", false, true, juce::Colours::white, 1.0f },
    { "HalfAlphaWhiteWhenInactive", false, false, juce::Colours::white, 128.0f / 255.0f },
    { "OwnColour", true, true, juce::Colour (0xFFFF0000), 1.0f },
    { "OwnColourHalfAlphaWhenInactive", true, false, juce::Colour (0xFFFF0000), 128.0f / 255.0f },
};

INSTANTIATE_TEST_SUITE_P (Look, PopupLookText, testing::ValuesIn (textColourCases),
                          [] (const auto& testInfo) { return std::string (testInfo.param.what); });

TEST (PopupLook, TextSitsOnOneLineInsideTenPixelMargins)
{
    ItemLook item;
    item.text = "Mixolydian Chromatic Soprano Baritone Mixolydian Chromatic";
    const auto text = pixels::boundsOf (paintItem (200, 30, item), painted);

    ASSERT_FALSE (text.isEmpty());
    EXPECT_GE (text.getX(), 10);
    EXPECT_LE (text.getRight(), 190);
    EXPECT_LE (text.getHeight(), 16);
    EXPECT_NEAR (text.getCentreY(), 15, 3);

    // Short text starts at the left margin, centred vertically.
    item.text = halvora::scaleNames[0];
    const auto shortText = pixels::boundsOf (paintItem (200, 30, item), painted);
    EXPECT_LE (shortText.getX(), 12);
    EXPECT_LT (shortText.getRight(), 60);
}

TEST (PopupLook, ItemNarrowerThanItsMarginsShowsNoText)
{
    ItemLook item;
    item.text = halvora::rangeNames[0];
    EXPECT_EQ (pixels::count (paintItem (18, 30, item), painted), 0);
    EXPECT_GT (pixels::count (paintItem (80, 30, item), painted), 0);
}

TEST (PopupLook, TickSubMenuShortcutIconAndSeparatorFlagAreNotDrawn)
{
    juce::DrawableRectangle icon;
    icon.setRectangle (juce::Parallelogram<float> (juce::Rectangle<float> (0.0f, 0.0f, 10.0f, 10.0f)));
    icon.setFill (juce::Colours::red);

    for (const auto highlighted : { false, true })
    {
        SCOPED_TRACE (highlighted ? "highlighted" : "plain");

        ItemLook plain;
        plain.text = "Dorian";
        plain.highlighted = highlighted;
        const auto reference = paintItem (200, 30, plain);

        ItemLook ticked = plain;
        ticked.ticked = true;
        ItemLook subMenu = plain;
        subMenu.subMenu = true;
        ItemLook shortcut = plain;
        shortcut.shortcut = "Ctrl+D";
        ItemLook withIcon = plain;
        withIcon.icon = &icon;
        ItemLook separator = plain;
        separator.separator = true;

        for (const auto& variant : { ticked, subMenu, shortcut, withIcon, separator })
            EXPECT_TRUE (pixels::identical (paintItem (200, 30, variant), reference));
    }
}
