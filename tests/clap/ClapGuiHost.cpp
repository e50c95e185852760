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

// Last: Xlib's macros (None, Bool, Status) would rewrite names in the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

namespace
{
using claphost::InputEvents;
using claphost::OutputEvents;

constexpr int editorWidth = 1200, editorHeight = 600;
constexpr clap_id vibRateId = 2, delayMixId = 4, rangeId = 7, keyId = 9;

struct Area
{
    int x, y, width, height;
};

struct Point
{
    int x, y;
};

// The parts of the editor the checks look at, in its own coordinates (the editor's control
// table): the delay fader, the vibrato rate knob, and the key's ON button, 40 by 22 just
// right of the key box's title (which ends at x 245, y 490).
constexpr Area delayFaderArea { 40, 140, 24, 320 };
constexpr Point vibRateKnobCentre { 250, 310 };
constexpr Point keyOnButton { 249 + 20, 490 + 11 };

std::vector<std::string> xErrors;

int recordXError (Display* display, XErrorEvent* error)
{
    char text[256] {};
    XGetErrorText (display, error->error_code, text, sizeof text);
    xErrors.push_back (std::string (text) + " in request " + std::to_string (error->request_code));
    return 0;
}

const clap_plugin_factory_t* factory()
{
    static const auto* const f = claphost::factoryOf (claphost::loadEntry (HALVORA_CLAP_BINARY));
    return f;
}

//==============================================================================
/** A top-level window of ours with the plug-in's editor in it, and the host's side. */
class GuiHost
{
public:
    using Pixels = std::vector<std::uint8_t>;

    GuiHost()
    {
        for (int attempt = 0; attempt < 50 && display == nullptr; ++attempt)
            if ((display = XOpenDisplay (nullptr)) == nullptr)
                std::this_thread::sleep_for (std::chrono::milliseconds (100));

        if (display == nullptr)
            return;

        const auto screen = DefaultScreen (display);
        window = XCreateSimpleWindow (display, RootWindow (display, screen), 0, 0, editorWidth, editorHeight, 0,
                                      BlackPixel (display, screen), BlackPixel (display, screen));
        XStoreName (display, window, "Halvora CLAP host");
        // As every host's top-level window does; this also makes the WM_PROTOCOLS atom exist.
        auto deleteWindow = XInternAtom (display, "WM_DELETE_WINDOW", False);
        XSetWMProtocols (display, window, &deleteWindow, 1);
        // See the LV2 UI host: the framework asks for this property by an atom no window
        // manager made here.
        XInternAtom (display, "_NET_WM_STATE", False);
        XMapRaised (display, window);
        XSync (display, False);

        // The plug-in comes after the atoms above: the framework looks its atoms up once,
        // when its message thread first opens the display.
        instance.emplace (factory(), host, "org.halvora.halvora");
    }

    ~GuiHost()
    {
        if (instance && instance->isLoaded() && instance->gui != nullptr && created)
            instance->gui->destroy (instance->plugin);

        if (display != nullptr)
        {
            XDestroyWindow (display, window);
            XSync (display, False);
            XCloseDisplay (display);
        }
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
    void idle()
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

    template <typename Condition>
    bool idleUntil (Condition&& condition, int maxIdleCalls = 250)
    {
        for (int i = 0; i < maxIdleCalls; ++i)
        {
            idle();

            if (condition())
                return true;
        }

        return false;
    }

    void idleFor (int calls)
    {
        for (int i = 0; i < calls; ++i)
            idle();
    }

    /** The editor's window: the one child of ours. */
    Window editor() const
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

    bool editorIsViewable() const
    {
        XWindowAttributes attributes {};
        return editor() != 0 && XGetWindowAttributes (display, editor(), &attributes) != 0 && attributes.map_state == IsViewable;
    }

    Pixels grab (Area area) const
    {
        if (! editorIsViewable())
            return {};

        auto* image = XGetImage (display, editor(), area.x, area.y, static_cast<unsigned int> (area.width),
                                 static_cast<unsigned int> (area.height), AllPlanes, ZPixmap);

        if (image == nullptr)
            return {};

        Pixels pixels;

        for (int y = 0; y < area.height; ++y)
            for (int x = 0; x < area.width; ++x)
            {
                const auto pixel = XGetPixel (image, x, y);
                pixels.push_back (static_cast<std::uint8_t> ((pixel >> 16) & 0xff));
                pixels.push_back (static_cast<std::uint8_t> ((pixel >> 8) & 0xff));
                pixels.push_back (static_cast<std::uint8_t> (pixel & 0xff));
            }

        XDestroyImage (image);
        return pixels;
    }

    Pixels grabSettled (Area area)
    {
        Pixels previous;
        int unchanged = 0;

        idleUntil ([&] {
            auto current = grab (area);
            unchanged = (! current.empty() && current == previous) ? unchanged + 1 : 0;
            previous = std::move (current);
            return unchanged >= 5;
        });

        return unchanged >= 5 ? previous : Pixels {};
    }

    void movePointerTo (Point p)
    {
        int rootX = 0, rootY = 0;
        Window child = 0;
        XTranslateCoordinates (display, editor(), DefaultRootWindow (display), p.x, p.y, &rootX, &rootY, &child);
        XTestFakeMotionEvent (display, DefaultScreen (display), rootX, rootY, CurrentTime);
        XFlush (display);
    }

    void pressButton (bool isDown)
    {
        XTestFakeButtonEvent (display, Button1, isDown ? True : False, CurrentTime);
        XFlush (display);
    }

    void click (Point p)
    {
        movePointerTo (p);
        idleFor (5);
        pressButton (true);
        idleFor (3);
        pressButton (false);
        idleFor (5);
    }

    /** Drags straight up (negative distance) or down, a few pixels at a time. */
    void drag (Point from, int distance)
    {
        movePointerTo (from);
        idleFor (5);
        pressButton (true);
        idleFor (5);

        const auto step = distance < 0 ? -5 : 5;
        for (int moved = step; std::abs (moved) <= std::abs (distance); moved += step)
        {
            movePointerTo ({ from.x, from.y + moved });
            idleFor (2);
        }

        pressButton (false);
        idleFor (10);
    }

    Display* display = nullptr;
    Window window = 0;
    claphost::Host host;
    std::optional<claphost::Instance> instance;
    bool created = false;
    std::pair<int, int> sizeReported;
    int flushesDone = 0;
    OutputEvents sent;
    std::vector<float> silence = std::vector<float> (64), left = std::vector<float> (64), right = std::vector<float> (64);
};

int pixelsChanged (const GuiHost::Pixels& a, const GuiHost::Pixels& b)
{
    if (a.size() != b.size())
        return static_cast<int> (std::max (a.size(), b.size()) / 3);

    int changed = 0;
    for (std::size_t i = 0; i + 2 < a.size(); i += 3)
        if (std::abs (a[i] - b[i]) > 16 || std::abs (a[i + 1] - b[i + 1]) > 16 || std::abs (a[i + 2] - b[i + 2]) > 16)
            ++changed;

    return changed;
}

//==============================================================================
class ClapGuiHost : public testing::Test
{
protected:
    void SetUp() override
    {
        if (std::getenv ("DISPLAY") == nullptr)
            GTEST_SKIP() << "no X display";

        xErrors.clear();
        previousHandler = XSetErrorHandler (recordXError);
        ASSERT_TRUE (host.display != nullptr) << "cannot open the X display";
        int eventBase = 0, errorBase = 0, major = 0, minor = 0;
        ASSERT_TRUE (XTestQueryExtension (host.display, &eventBase, &errorBase, &major, &minor)) << "no XTEST extension";
        ASSERT_TRUE (host.open()) << "the plug-in refused to embed its editor";
        ASSERT_TRUE (host.idleUntil ([&] { return host.editorIsViewable(); })) << "the editor's window was never mapped";
    }

    void TearDown() override
    {
        XSetErrorHandler (previousHandler);
        EXPECT_TRUE (xErrors.empty()) << xErrors.size() << " X errors, the first: " << (xErrors.empty() ? "" : xErrors.front());
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
    ASSERT_NE (XGetWindowAttributes (host.display, host.editor(), &attributes), 0);
    EXPECT_EQ (attributes.width, editorWidth);
    EXPECT_EQ (attributes.height, editorHeight);

    const auto isPainted = [] (const GuiHost::Pixels& picture) {
        std::size_t bright = 0;
        for (const auto channel : picture)
            if (channel > 64)
                ++bright;
        return bright > picture.size() / 100;
    };

    EXPECT_TRUE (host.idleUntil ([&] { return isPainted (host.grab ({ 0, 0, editorWidth, editorHeight })); })) << "the editor never painted";

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
    EXPECT_TRUE (host.idleUntil ([&] { return pixelsChanged (host.grab (area), first) > 50; })) << "the editor did not show 50 %";

    events.clear();
    events.add (delayMixId, 0.0);
    host.instance->flush (events, &host.sent);
    EXPECT_TRUE (host.idleUntil ([&] { return pixelsChanged (host.grab (area), first) < 5; })) << "the fader did not go back";
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
