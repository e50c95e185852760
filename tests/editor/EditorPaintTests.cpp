#include "editor/EditorFixture.h"
#include "HalvoraVocabulary.h"

namespace
{

// Parts of the side bands that no control covers (see the layout): only the black fill shows there.
const juce::Rectangle<int> bandsWithoutControls[] {
    { 0, 0, 118, 40 },
    { 0, 104, 118, 36 },
    { 0, 140, 40, 320 },
    { 0, 460, 118, 30 },
    { 0, 562, 118, 38 },
    { 1082, 0, 118, 40 },
    { 1082, 104, 118, 36 },
    { 1160, 140, 40, 320 },
    { 1082, 460, 118, 30 },
    { 1082, 562, 118, 38 },
};

// The middle of the artwork, between the knobs and titles: the lettering and the waveform bars.
const juce::Rectangle<int> artWithoutControls { 420, 160, 360, 220 };

bool notBlack (juce::Colour c) { return ! pixels::isBlack (c); }

/** A plain white picture, to measure where paint puts the artwork. */
juce::Image whiteBoard (int w, int h)
{
    juce::Image image (juce::Image::ARGB, w, h, true);
    image.clear (image.getBounds(), juce::Colours::white);
    return image;
}

} // namespace

TEST_F (EditorTest, ArtworkBetweenBlackSideBands)
{
    const auto window = pixels::snapshot (*editor);
    ASSERT_EQ (window.getBounds(), juce::Rectangle<int> (0, 0, 1200, 600));

    for (const auto& band : bandsWithoutControls)
        EXPECT_EQ (pixels::count (window, band, notBlack), 0) << band.toString();

    EXPECT_GT (pixels::count (window, artWithoutControls, notBlack), artWithoutControls.getWidth() * artWithoutControls.getHeight() / 2);
    EXPECT_GT (pixels::count (window, artWithoutControls, [] (juce::Colour c) { return c.getRed() > 150; }), 100);

    // The artwork spans x 118.23 to 1081.77: in rows free of controls columns 117 and 1082
    // are black, and columns 120 and 1079 show the (dark, but not black) artwork.
    int rows = 0, artAt120 = 0, artAt1079 = 0;

    for (const auto& span : { juce::Range<int> (5, 36), juce::Range<int> (106, 139) })
        for (int y = span.getStart(); y < span.getEnd(); ++y)
        {
            EXPECT_TRUE (pixels::isBlack (pixels::at (window, 117, y))) << y;
            EXPECT_TRUE (pixels::isBlack (pixels::at (window, 1082, y))) << y;
            artAt120 += notBlack (pixels::at (window, 120, y)) ? 1 : 0;
            artAt1079 += notBlack (pixels::at (window, 1079, y)) ? 1 : 0;
            ++rows;
        }

    EXPECT_GE (artAt120, rows * 9 / 10);
    EXPECT_GE (artAt1079, rows * 9 / 10);
}

struct FitCase
{
    const char* what;
    int windowW, windowH, imageW, imageH;
    float x, y, w, h; // where the artwork lands, worked out from the aspect ratios
};

class EditorBackgroundFit : public EditorTest, public testing::WithParamInterface<FitCase>
{
};

TEST_P (EditorBackgroundFit, AspectCorrectAndCentred)
{
    const auto& c = GetParam();
    editor->setSize (c.windowW, c.windowH);
    inspect().boardImage() = whiteBoard (c.imageW, c.imageH);

    // The editor's own painting, without the controls.
    juce::Image image (juce::Image::RGB, c.windowW, c.windowH, true);
    image.clear (image.getBounds(), juce::Colours::red);

    {
        juce::Graphics g (image);
        editor->paint (g);
    }

    // How much of each pixel the artwork covers, read from the white over the black fill:
    // the black margins add up along the middle row and column.
    const auto cover = [&] (int x, int y) { return static_cast<float> (pixels::at (image, x, y).getGreen()) / 255.0f; };
    float left = 0.0f, right = 0.0f, top = 0.0f, bottom = 0.0f;

    for (int x = 0; x < c.windowW; ++x)
        (x < c.windowW / 2 ? left : right) += 1.0f - cover (x, c.windowH / 2);

    for (int y = 0; y < c.windowH; ++y)
        (y < c.windowH / 2 ? top : bottom) += 1.0f - cover (c.windowW / 2, y);

    EXPECT_NEAR (left, c.x, 0.3f);
    EXPECT_NEAR (top, c.y, 0.3f);
    EXPECT_NEAR (static_cast<float> (c.windowW) - left - right, c.w, 0.5f);
    EXPECT_NEAR (static_cast<float> (c.windowH) - top - bottom, c.h, 0.5f);

    // Nothing of the red under it shows: the fill is black and the artwork opaque.
    EXPECT_EQ (pixels::count (image, [] (juce::Colour p) { return p.getRed() != p.getGreen(); }), 0);
}

const FitCase fitCases[] {
    // 600 x 1850 / 1152 = 963.54 wide, (1200 - 963.54) / 2 = 118.23 from the left.
    { "ShippedSize", 1200, 600, 1850, 1152, 118.23f, 0.0f, 963.54f, 600.0f },
    // A square window is narrower than the picture: full width, 600 / 1.6059 = 373.62 high.
    { "SquareWindow", 600, 600, 1850, 1152, 0.0f, 113.19f, 600.0f, 373.62f },
    { "SameAspect", 1200, 600, 1000, 500, 0.0f, 0.0f, 1200.0f, 600.0f },
    { "TallPicture", 1200, 600, 300, 600, 450.0f, 0.0f, 300.0f, 600.0f },
};

INSTANTIATE_TEST_SUITE_P (Editor, EditorBackgroundFit, testing::ValuesIn (fitCases),
                          [] (const auto& testInfo) { return std::string (testInfo.param.what); });

TEST_F (EditorTest, MissingArtworkLeavesBlackBehindEveryControl)
{
    // As when the resource is absent or does not decode: the image stays null.
    inspect().boardImage() = juce::Image();
    const auto window = pixels::snapshot (*editor);

    juce::RectangleList<int> controlArea;

    for (const auto& [name, control] : inspect().controls())
    {
        ASSERT_TRUE (control->isVisible()) << name;
        const auto bounds = control->getBounds().getIntersection (editor->getLocalBounds());
        controlArea.add (bounds);

        // Every control still draws itself over the black.
        EXPECT_GT (pixels::count (window, bounds, notBlack), 20) << name;
    }

    juce::RectangleList<int> background (editor->getLocalBounds());
    background.subtract (controlArea);

    for (const auto& area : background)
        EXPECT_EQ (pixels::count (window, area, notBlack), 0) << area.toString();

    EXPECT_EQ (pixels::count (window, artWithoutControls, notBlack), 0);
}

TEST_F (EditorTest, TitlesAndCaptionsPaintInTheProductGold)
{
    for (const auto* name : { "formantLabel", "gainLabel", "vibRateLabel", "vibDepthLabel", "morvelLabel",
                              "rangeLabel", "voiceLabel", "keyLabel", "scaleLabel", "delayLabel", "reverbLabel" })
    {
        SCOPED_TRACE (name);
        const auto label = pixels::snapshot (*inspect().control (name));

        // Solid glyph pixels are the gold itself, and the edges are the same gold, fainter.
        EXPECT_GT (pixels::count (label, [] (juce::Colour c) { return pixels::near (c, design::gold, 2); }), 20);
        EXPECT_EQ (pixels::count (label, [] (juce::Colour c) {
                       return c.getAlpha() > 100 && ! pixels::near (c.withAlpha (1.0f), design::gold, 6);
                   }),
                   0);
    }

    // The captions read downwards, one letter a line of 20 pixels: much taller than wide.
    for (const auto* name : { "delayLabel", "reverbLabel" })
    {
        const auto text = pixels::boundsOf (pixels::snapshot (*inspect().control (name)),
                                            [] (juce::Colour c) { return c.getAlpha() > 0; });
        EXPECT_GT (text.getHeight(), 3 * text.getWidth()) << name << " " << text.toString();
        EXPECT_GT (text.getHeight(), 80) << name;
    }
}

TEST_F (EditorTest, BoxFacesUseTheNamedGoldAndWhiteText)
{
    inspect().boardImage() = juce::Image();
    const auto window = pixels::snapshot (*editor);
    const juce::Colour namedGold (0xFFFFD700);

    for (const auto* name : { "rangeBox", "voiceBox", "keyBox", "scaleBox" })
    {
        SCOPED_TRACE (name);
        const auto bounds = inspect().control (name)->getBounds();

        // The one-pixel outline along the top and bottom edges.
        EXPECT_TRUE (pixels::near (pixels::at (window, bounds.getCentreX(), bounds.getY()), namedGold, 3));
        EXPECT_TRUE (pixels::near (pixels::at (window, bounds.getCentreX(), bounds.getBottom() - 1), namedGold, 3));
        EXPECT_GT (pixels::count (window, bounds, [] (juce::Colour c) { return c.getRed() > 240 && c.getGreen() > 240 && c.getBlue() > 240; }), 5);
    }
}

TEST_F (EditorTest, KnobFaceDoesNotShowTheValue)
{
    auto& knob = inspect().slider ("vibRateKnob");

    set (halvora::ParamID::vibRate, 0.1f);
    const auto low = pixels::snapshot (knob);
    set (halvora::ParamID::vibRate, 10.0f);
    ASSERT_NEAR (knob.getValue(), 10.0, 1e-4);
    const auto high = pixels::snapshot (knob);

    EXPECT_TRUE (pixels::identical (low, high));

    // The knob picture, drawn: about 171 x 159 pixels of solid knob.
    EXPECT_GT (pixels::count (low, [] (juce::Colour c) { return c.getAlpha() == 255; }), 15000);
}

TEST_F (EditorTest, FaderThumbFollowsItsParameter)
{
    // The 24 x 320 fader's track runs from 12 (maximum) to 308 (minimum).
    const auto isThumb = [] (juce::Colour c) { return pixels::near (c, juce::Colour (0xFFDBBC58), 4); };
    const std::pair<float, float> travel[] { { 100.0f, 12.0f }, { 50.0f, 160.0f }, { 0.0f, 308.0f } };

    const std::pair<const char*, const char*> faders[] {
        { halvora::ParamID::delayMix, "delayFader" },
        { halvora::ParamID::reverbMix, "reverbFader" },
    };

    for (const auto& [id, name] : faders)
        for (const auto& [value, y] : travel)
        {
            SCOPED_TRACE (juce::String (id) + " " + juce::String (value));
            set (id, value);
            auto& fader = inspect().slider (name);
            const auto centre = pixels::centreOf (pixels::snapshot (fader), isThumb);
            EXPECT_NEAR (centre.x, 12.0f, 0.3f);
            EXPECT_NEAR (centre.y, y, 0.3f);
        }
}
