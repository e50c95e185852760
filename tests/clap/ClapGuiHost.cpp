// The CLAP plug-in's editor in a small X11 host of ours, as CLAP hosts embed it: the gui
// extension asked for X11 embedding, the editor put into a window of ours at its one size,
// the framework's messages run from the host's timer (timer-support), values the host sets
// shown in the editor, a knob dragged with the X server's test pointer reaching the host as
// a gesture (begin, values, end), and an ON button reaching the processor that plays.
//
// Needs an X server with the XTEST extension (the test run gives one through Xvfb).

#include "clap/ClapTestHost.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// Last: it brings Xlib, whose macros (None, Bool, Status) would rewrite names in the headers above.
#include "helpers/X11HostWindow.h"

namespace
{
using claphost::InputEvents;
using claphost::OutputEvents;

constexpr int editorWidth = 1200, editorHeight = 600;
constexpr clap_id vibRateId = 2, delayMixId = 4, rangeId = 7, keyId = 9;

using x11test::Area;
using x11test::Pixels;
using x11test::Point;

// The parts of the editor the checks look at, in its own coordinates (the editor's control
// table): the delay fader, the vibrato rate knob, and the key's ON button, 40 by 22 just
// right of the key box's title (which ends at x 245, y 490).
constexpr Area delayFaderArea { 40, 140, 24, 320 };
constexpr Point vibRateKnobCentre { 250, 310 };
constexpr Point keyOnButton { 249 + 20, 490 + 11 };

const clap_plugin_factory_t* factory()
{
    static const auto* const f = claphost::factoryOf (claphost::loadEntry (HALVORA_CLAP_BINARY));
    return f;
}

//==============================================================================
/** A top-level window of ours with the plug-in's editor in it, and the host's side. */
class GuiHost : public x11test::X11HostWindow
{
public:
    GuiHost()
        : X11HostWindow ("Halvora CLAP host", editorWidth, editorHeight, NoEventMask)
    {
        if (display == nullptr)
            return;

        // The plug-in comes after the atoms above: the framework looks its atoms up once,
        // when its message thread first opens the display.
        instance.emplace (factory(), host, "org.halvora.halvora");
    }

    ~GuiHost() override
    {
        if (instance && instance->isLoaded() && instance->gui != nullptr && created)
            instance->gui->destroy (instance->plugin);
    }

    bool open()
    {
        if (! instance || ! instance->isLoaded() || instance->gui == nullptr || instance->timer == nullptr)
            return false;

        created = instance->gui->is_api_supported (instance->plugin, CLAP_WINDOW_API_X11, false)
               && instance->gui->create (instance->plugin, CLAP_WINDOW_API_X11, false);

        if (! created)
            return false;

        std::uint32_t width = 0, height = 0;
        instance->gui->get_size (instance->plugin, &width, &height);
        sizeReported = { static_cast<int> (width), static_cast<int> (height) };

        clap_window_t parent { CLAP_WINDOW_API_X11, {} };
        parent.x11 = window;
        return instance->gui->set_parent (instance->plugin, &parent) && instance->gui->show (instance->plugin);
    }

    /** One turn of the host's timers, a flush when the plug-in asked for one, and the pause
        a host leaves between them.
    */
    void idleOnce() override
    {
        for (std::size_t i = 0; i < host.timerPeriods.size(); ++i)
            if (host.timerPeriods[i] != 0)
                instance->timer->on_timer (instance->plugin, static_cast<clap_id> (i + 1));

        // Playing, the plug-in hands its editor's events over in the next block; stopped,
        // in the flush it asked for.
        if (instance->active)
        {
            float* channels[] { silence.data(), silence.data() };
            float* outputs[] { left.data(), right.data() };
            instance->process (channels, 2, outputs, 2, static_cast<std::uint32_t> (silence.size()), InputEvents {}, &sent);
        }
        else if (host.flushRequests > flushesDone)
        {
            flushesDone = host.flushRequests;
            instance->flush (InputEvents {}, &sent);
        }

        while (XPending (display) > 0)
        {
            XEvent event;
            XNextEvent (display, &event);
        }

        std::this_thread::sleep_for (std::chrono::milliseconds (20));
    }

    /** The editor's window: the one child of ours. */
    Window editorWindow() const override
    {
        Window root = 0, parent = 0, *children = nullptr;
        unsigned int count = 0;
        Window found = 0;

        if (XQueryTree (display, window, &root, &parent, &children, &count) != 0 && count == 1)
            found = children[0];

        if (children != nullptr)
            XFree (children);

        return found;
    }

    /** Drags straight up (negative distance) or down, and leaves the editor a moment to
        hand the gesture's end over.
    */
    void drag (Point from, int distance)
    {
        dragStraight (from, distance);
        idleFor (10);
    }

    claphost::Host host;
    std::optional<claphost::Instance> instance;
    bool created = false;
    std::pair<int, int> sizeReported;
    int flushesDone = 0;
    OutputEvents sent;
    std::vector<float> silence = std::vector<float> (64), left = std::vector<float> (64), right = std::vector<float> (64);
};

//==============================================================================
class ClapGuiHost : public testing::Test
{
protected:
    void SetUp() override
    {
        if (std::getenv ("DISPLAY") == nullptr)
            GTEST_SKIP() << "no X display";

        x11test::xErrors.clear();
        previousHandler = XSetErrorHandler (x11test::recordXError);
        ASSERT_TRUE (host.display != nullptr) << "cannot open the X display";
        ASSERT_TRUE (x11test::hasXTest (host.display)) << "no XTEST extension";
        ASSERT_TRUE (host.open()) << "the plug-in refused to embed its editor";
        ASSERT_TRUE (host.idleUntil ([&] { return host.editorIsViewable(); })) << "the editor's window was never mapped";
    }

    void TearDown() override
    {
        XSetErrorHandler (previousHandler);
        EXPECT_TRUE (x11test::xErrors.empty()) << x11test::xErrors.size() << " X errors, the first: " << x11test::firstXError();
    }

    GuiHost host;
    XErrorHandler previousHandler = nullptr;
};

TEST_F (ClapGuiHost, EmbedsInTheHostsWindowAt1200By600OnTheHostsTimer)
{
    EXPECT_EQ (host.sizeReported, std::make_pair (editorWidth, editorHeight));
    ASSERT_EQ (host.host.timerPeriods.size(), 1u) << "the editor runs on one timer of the host's";
    EXPECT_GT (host.host.timerPeriods[0], 0u);

    XWindowAttributes attributes {};
    ASSERT_NE (XGetWindowAttributes (host.display, host.editorWindow(), &attributes), 0);
    EXPECT_EQ (attributes.width, editorWidth);
    EXPECT_EQ (attributes.height, editorHeight);

    EXPECT_TRUE (host.waitUntilPainted (editorWidth, editorHeight)) << "the editor never painted";

    host.instance->gui->destroy (host.instance->plugin);
    host.created = false;
    EXPECT_EQ (host.host.timerPeriods[0], 0u) << "the timer outlived the editor";
}

TEST_F (ClapGuiHost, AValueTheHostSetsShowsInTheEditorAndIsNotSentBack)
{
    const auto area = delayFaderArea;
    const auto first = host.grabSettled (area);
    ASSERT_FALSE (first.empty()) << "the editor never settled";

    InputEvents events;
    events.add (delayMixId, 50.0);
    host.instance->flush (events, &host.sent);
    EXPECT_TRUE (host.idleUntil ([&] { return x11test::pixelsChanged (host.grab (area), first) > 50; })) << "the editor did not show 50 %";

    events.clear();
    events.add (delayMixId, 0.0);
    host.instance->flush (events, &host.sent);
    EXPECT_TRUE (host.idleUntil ([&] { return x11test::pixelsChanged (host.grab (area), first) < 5; })) << "the fader did not go back";
    EXPECT_TRUE (host.sent.events.empty()) << host.sent.events.size() << " host values sent back";
}

/** A drag upwards on the vibrato rate knob: begin, values within the range, end, and the
    plug-in holds the last value it sent.
*/
void checkDragReachesTheHost (GuiHost& host)
{
    host.idleFor (10);
    host.sent.events.clear();
    host.drag (vibRateKnobCentre, -60);
    ASSERT_TRUE (host.idleUntil ([&] { return ! host.sent.events.empty() && host.sent.events.back().type == CLAP_EVENT_PARAM_GESTURE_END; }))
        << "no gesture end reached the host";

    const auto& events = host.sent.events;
    ASSERT_GE (events.size(), 3u);
    EXPECT_EQ (events.front().type, CLAP_EVENT_PARAM_GESTURE_BEGIN);
    EXPECT_EQ (events.front().id, vibRateId);
    EXPECT_EQ (events.back().id, vibRateId);

    for (std::size_t i = 1; i + 1 < events.size(); ++i)
    {
        EXPECT_EQ (events[i].type, CLAP_EVENT_PARAM_VALUE);
        EXPECT_EQ (events[i].id, vibRateId);
        EXPECT_GE (events[i].value, 0.1);
        EXPECT_LE (events[i].value, 10.0);
    }

    // Upwards raises the rate from its default 5 Hz, and the plug-in holds what it sent.
    EXPECT_GT (events[events.size() - 2].value, 5.0);
    EXPECT_EQ (host.instance->value (vibRateId), events[events.size() - 2].value);
}

TEST_F (ClapGuiHost, AKnobDraggedReachesTheHostAsAGesture)
{
    checkDragReachesTheHost (host);
    EXPECT_GT (host.host.flushRequests, 0) << "the plug-in never asked the host to flush";
}

TEST_F (ClapGuiHost, AKnobDraggedWhileItPlaysReachesTheHostInTheBlocks)
{
    ASSERT_TRUE (host.instance->activate (48000.0, 64));
    checkDragReachesTheHost (host);
}

TEST_F (ClapGuiHost, TheKeysOnButtonReachesTheProcessorThatPlays)
{
    // A sung A#3 (233 Hz), outside C major: with the key's ON button lit, the correction
    // moves it; otherwise the same settings leave its pitch alone.
    constexpr double rate = 44100.0;
    constexpr int length = 22050;
    std::vector<float> input (length);
    for (int i = 0; i < length; ++i)
        input[static_cast<std::size_t> (i)] = 0.5f * static_cast<float> (std::sin (2.0 * M_PI * 233.08 * i / rate));

    const auto play = [&] (claphost::Instance& plugin) {
        std::vector<float> in (input), left (length), right (length);
        InputEvents settings;
        settings.add (rangeId, 2.0); // Tenor
        settings.add (keyId, 0.0);   // C (major is the default scale)

        for (int start = 0; start < length; start += 512)
        {
            const auto n = static_cast<std::uint32_t> (std::min (512, length - start));
            plugin.process ({ in.data() + start, in.data() + start }, { left.data() + start, right.data() + start }, n,
                            start == 0 ? settings : InputEvents {});
        }

        return left;
    };

    host.click (keyOnButton);

    ASSERT_TRUE (host.instance->activate (rate, 512));
    const auto corrected = play (*host.instance);

    claphost::Host otherHost;
    claphost::Instance unlit (factory(), otherHost, "org.halvora.halvora");
    ASSERT_TRUE (unlit.activate (rate, 512));
    const auto uncorrected = play (unlit);

    EXPECT_NE (corrected, uncorrected) << "the ON button did not reach the processor that plays";
}

} // namespace
