#include "editor/EditorFixture.h"

namespace
{

using Target = HalvoraAudioProcessor::MvTarget;

int targetOf (const HalvoraAudioProcessor& processor) { return static_cast<int> (processor.getActiveMvTarget()); }

} // namespace

/** The window with a way to click its ON buttons and count the click handlers that run. */
class OnButtonTest : public EditorTest
{
protected:
    /** A click, as Button::internalClickCallback makes it for a button that toggles on click
        and has no radio group: the state flips and the click is reported, so onClick runs.
        (triggerClick() posts the same to the message queue, which this test binary, built
        without modal loops, has no way to run on the spot.)
    */
    void click (int number)
    {
        auto& button = inspect().onButton (number);
        button.setToggleState (! button.getToggleState(), juce::sendNotification);
    }

    void countHandlerRuns()
    {
        for (int n = 1; n <= 4; ++n)
        {
            auto& button = inspect().onButton (n);
            button.onClick = [handler = button.onClick, this, n] {
                ++runs[static_cast<size_t> (n - 1)];
                handler();
            };
        }
    }

    /** The number of the button that is on, 0 for none, -1 if more than one is. */
    int lit()
    {
        int on = 0;

        for (int n = 1; n <= 4; ++n)
            if (inspect().onButton (n).getToggleState())
                on = on == 0 ? n : -1;

        return on;
    }

    std::array<int, 4> runs {};
};

TEST_F (OnButtonTest, FourToggleButtonsOutsideAnyRadioGroup)
{
    for (int n = 1; n <= 4; ++n)
    {
        SCOPED_TRACE (n);
        auto& button = inspect().onButton (n);
        EXPECT_EQ (button.getButtonText(), "ON");
        EXPECT_TRUE (button.getClickingTogglesState());
        EXPECT_EQ (button.getRadioGroupId(), 0);
        EXPECT_FALSE (button.getToggleState());
        EXPECT_EQ (&button.getLookAndFeel(), &inspect().onButtonLAF());
        EXPECT_EQ (button.findColour (juce::TextButton::textColourOffId), juce::Colours::white);
        EXPECT_EQ (button.findColour (juce::TextButton::textColourOnId), juce::Colours::white);
    }

    EXPECT_EQ (targetOf (processor), 0);
}

struct ClickCase
{
    const char* what;
    int before; // the button on before the click, 0 for none
    int clicked;
    int after; // the button on after it, 0 for none; also the target sent
};

class OnButtonClicks : public OnButtonTest, public testing::WithParamInterface<ClickCase>
{
};

TEST_P (OnButtonClicks, AtMostOneOnAndItsNumberSentOnce)
{
    const auto& c = GetParam();

    if (c.before != 0)
        click (c.before);

    ASSERT_EQ (lit(), c.before);
    ASSERT_EQ (targetOf (processor), c.before);

    countHandlerRuns();
    click (c.clicked);

    EXPECT_EQ (lit(), c.after);
    EXPECT_EQ (targetOf (processor), c.after);

    // Only the clicked button's handler ran, once: the others were switched off quietly.
    for (int n = 1; n <= 4; ++n)
        EXPECT_EQ (runs[static_cast<size_t> (n - 1)], n == c.clicked ? 1 : 0) << "handler of ON " << n;
}

const ClickCase clickCases[] {
    { "NoneOnClick2", 0, 2, 2 },
    { "NoneOnClick1", 0, 1, 1 },
    { "NoneOnClick4", 0, 4, 4 },
    { "OneOnClick3", 1, 3, 3 },
    { "ThreeOnClick1", 3, 1, 1 },
    { "FourOnClick2", 4, 2, 2 },
    { "TwoOnClick4", 2, 4, 4 },
    { "TwoOnClick2", 2, 2, 0 },
    { "FourOnClick4", 4, 4, 0 },
};

INSTANTIATE_TEST_SUITE_P (OnButton, OnButtonClicks, testing::ValuesIn (clickCases),
                          [] (const auto& testInfo) { return std::string (testInfo.param.what); });

TEST_F (OnButtonTest, ASequenceOfClicksKeepsTheLastNumberSent)
{
    const std::pair<int, int> clicks[] { { 3, 3 }, { 4, 4 }, { 1, 1 }, { 1, 0 }, { 2, 2 }, { 3, 3 }, { 3, 0 }, { 4, 4 } };

    for (const auto& [button, target] : clicks)
    {
        click (button);
        EXPECT_EQ (lit(), target) << "after ON " << button;
        EXPECT_EQ (targetOf (processor), target) << "after ON " << button;
    }
}

TEST_F (OnButtonTest, ALitButtonPaintsGoldAndTheOthersBlack)
{
    click (3);
    const auto window = pixels::snapshot (*editor);

    // Left of the label, inside each pill.
    for (int n = 1; n <= 4; ++n)
    {
        const auto inside = inspect().onButton (n).getBounds().getTopLeft() + juce::Point<int> (5, 11);
        const auto colour = pixels::at (window, inside.x, inside.y);

        if (n == 3)
            EXPECT_TRUE (pixels::near (colour, design::gold, 16)) << colour.toString();
        else
            EXPECT_EQ (colour, juce::Colours::black) << n;
    }
}

TEST_F (OnButtonTest, AReopenedWindowLightsTheProcessorsTarget)
{
    for (int target = 0; target <= 4; ++target)
    {
        SCOPED_TRACE (target);
        close();
        processor.setActiveMvTarget (static_cast<Target> (target));
        open();

        EXPECT_EQ (lit(), target);
        EXPECT_EQ (targetOf (processor), target);
    }
}

TEST_F (OnButtonTest, ClosingTheWindowLeavesTheTarget)
{
    click (4);
    close();
    EXPECT_EQ (targetOf (processor), 4);

    // The next window picks up where this one left off, and a click carries on from there.
    open();
    EXPECT_EQ (lit(), 4);
    click (4);
    EXPECT_EQ (lit(), 0);
    EXPECT_EQ (targetOf (processor), 0);
}
