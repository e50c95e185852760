#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// Last: Xlib's macros (None, Bool, Status) would rewrite names in headers included after it.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

//==============================================================================
/** What the hosts of our own that embed Halvora's editor (the LV2 UI and the CLAP gui) share:
    a host's top-level window on the suite's X server, the editor's pixels as the server shows
    them, and the server's test pointer moved, pressed and dragged over the editor. Plain Xlib,
    without the framework, as a host has it.
*/
namespace x11test
{

struct Area
{
    int x, y, width, height;
};

struct Point
{
    int x, y;
};

/** Red, green and blue bytes, pixel after pixel. */
using Pixels = std::vector<std::uint8_t>;

//==============================================================================
/** X errors, from our requests or the editor's: Xlib's default handler would end the
    process at the first, and the framework leaves the handler to the host in a plug-in.
*/
inline std::vector<std::string> xErrors;

inline int recordXError (Display* display, XErrorEvent* error)
{
    char text[256] {};
    XGetErrorText (display, error->error_code, text, sizeof text);
    xErrors.push_back (std::string (text) + " in request " + std::to_string (error->request_code));
    return 0;
}

inline std::string firstXError()
{
    return xErrors.empty() ? std::string() : xErrors.front();
}

inline bool hasXTest (Display* display)
{
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    return XTestQueryExtension (display, &eventBase, &errorBase, &major, &minor) != 0;
}

/** Whether the editor has painted: until it does, its window shows the black of the host's
    behind it; painted, the gold and white of its controls show (its background is dark).
*/
inline bool isPainted (const Pixels& picture)
{
    std::size_t bright = 0;

    for (const auto channel : picture)
        if (channel > 64)
            ++bright;

    return bright > picture.size() / 100;
}

/** How many pixels differ by more than a faint shade: a control that moved. */
inline int pixelsChanged (const Pixels& a, const Pixels& b)
{
    if (a.size() != b.size())
        return static_cast<int> (std::max (a.size(), b.size()) / 3);

    auto changed = 0;

    for (std::size_t i = 0; i + 2 < a.size(); i += 3)
        if (std::abs (a[i] - b[i]) > 16 || std::abs (a[i + 1] - b[i + 1]) > 16 || std::abs (a[i + 2] - b[i + 2]) > 16)
            ++changed;

    return changed;
}

//==============================================================================
/** A host's top-level window with an editor embedded in it. The host says which window is the
    editor's and what one turn of its event loop does (calling the plug-in's idle or timers,
    then the pause a host leaves between them); the waits here count those turns.
*/
class X11HostWindow
{
public:
    static constexpr int idleCallsForFiveSeconds = 250;

    X11HostWindow (const char* title, int width, int height, long eventMask)
    {
        display = openDisplay();

        if (display == nullptr)
            return;

        const auto screen = DefaultScreen (display);
        window = XCreateSimpleWindow (display, RootWindow (display, screen), 0, 0, static_cast<unsigned int> (width),
                                      static_cast<unsigned int> (height), 0, BlackPixel (display, screen),
                                      BlackPixel (display, screen));
        XSelectInput (display, window, eventMask);
        XStoreName (display, window, title);

        // As every host's top-level window does, so that a window manager's close button
        // asks rather than kills; this also makes the WM_PROTOCOLS atom exist.
        auto deleteWindow = XInternAtom (display, "WM_DELETE_WINDOW", False);
        XSetWMProtocols (display, window, &deleteWindow, 1);

        // The suite's X server runs no window manager, and a desktop's would have made this
        // atom long before a plug-in opens. The framework only looks it up, then asks for the
        // property by it whenever it checks whether the editor's window is minimised; the X
        // server refuses a request naming no atom (and Xlib's default handler ends the host).
        XInternAtom (display, "_NET_WM_STATE", False);

        XMapRaised (display, window);
        XSync (display, False);
    }

    virtual ~X11HostWindow()
    {
        if (display == nullptr)
            return;

        XDestroyWindow (display, window);
        XSync (display, False);
        XCloseDisplay (display);
    }

    X11HostWindow (const X11HostWindow&) = delete;
    X11HostWindow& operator= (const X11HostWindow&) = delete;

    bool hasDisplay() const { return display != nullptr; }

    /** One turn of the host's loop, with its pause. */
    virtual void idleOnce() = 0;

    /** The editor's window, 0 while there is none. */
    virtual Window editorWindow() const = 0;

    void idleFor (int idleCalls)
    {
        for (int i = 0; i < idleCalls; ++i)
            idleOnce();
    }

    template <typename Condition>
    bool idleUntil (Condition&& condition, int maxIdleCalls = idleCallsForFiveSeconds)
    {
        for (int i = 0; i < maxIdleCalls; ++i)
        {
            idleOnce();

            if (condition())
                return true;
        }

        return false;
    }

    bool editorIsViewable() const
    {
        XWindowAttributes attributes {};
        const auto editor = editorWindow();
        return editor != 0 && XGetWindowAttributes (display, editor, &attributes) != 0 && attributes.map_state == IsViewable;
    }

    /** The pixels of an area of the editor as the X server shows them; empty while the
        editor's window cannot be read.
    */
    Pixels grab (Area area) const
    {
        if (! editorIsViewable())
            return {};

        auto* image = XGetImage (display, editorWindow(), area.x, area.y, static_cast<unsigned int> (area.width),
                                 static_cast<unsigned int> (area.height), AllPlanes, ZPixmap);

        if (image == nullptr)
            return {};

        const auto channel = [] (unsigned long pixel, unsigned long mask) {
            auto shift = 0;

            while (mask != 0 && (mask & 1) == 0)
            {
                mask >>= 1;
                ++shift;
            }

            return static_cast<std::uint8_t> ((pixel >> shift) & mask);
        };

        Pixels pixels;
        pixels.reserve (static_cast<std::size_t> (area.width * area.height * 3));

        for (int y = 0; y < area.height; ++y)
        {
            for (int x = 0; x < area.width; ++x)
            {
                const auto pixel = XGetPixel (image, x, y);

                for (const auto mask : { image->red_mask, image->green_mask, image->blue_mask })
                    pixels.push_back (channel (pixel, mask));
            }
        }

        XDestroyImage (image);
        return pixels;
    }

    /** Waits until the whole editor has painted. */
    bool waitUntilPainted (int width, int height)
    {
        return idleUntil ([&] { return isPainted (grab ({ 0, 0, width, height })); });
    }

    /** The area once its pixels stay the same over several turns: painting done. */
    Pixels grabSettled (Area area)
    {
        constexpr int unchangedGrabsNeeded = 5;
        Pixels previous;
        int unchanged = 0;

        idleUntil ([&] {
            auto current = grab (area);
            unchanged = (! current.empty() && current == previous) ? unchanged + 1 : 0;
            previous = std::move (current);
            return unchanged >= unchangedGrabsNeeded;
        });

        return unchanged >= unchangedGrabsNeeded ? previous : Pixels {};
    }

    /** Moves the X server's pointer to a point of the editor. */
    void movePointerTo (Point p)
    {
        int rootX = 0, rootY = 0;
        Window child = 0;
        XTranslateCoordinates (display, editorWindow(), DefaultRootWindow (display), p.x, p.y, &rootX, &rootY, &child);
        XTestFakeMotionEvent (display, DefaultScreen (display), rootX, rootY, CurrentTime);
        XFlush (display);
    }

    void pressButton (bool isDown)
    {
        XTestFakeButtonEvent (display, Button1, isDown ? True : False, CurrentTime);
        XFlush (display);
    }

    /** A click with the X server's pointer at a point of the editor. */
    void click (Point at)
    {
        movePointerTo (at);
        idleFor (5);
        pressButton (true);
        idleFor (3);
        pressButton (false);
        idleFor (5);
    }

    /** Drags with the X server's pointer from a point of the editor, straight up (negative
        distance) or down, a few pixels at a time as a hand would, and lets go.
    */
    void dragStraight (Point from, int distance)
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
    }

    Display* display = nullptr;
    Window window = 0;

private:
    /** An X server started without -noreset (as xvfb-run starts it) resets when its last
        client leaves, as happens when one editor and its host have closed and the next opens,
        and drops connections made while it does; so a failed connection is tried again.
    */
    static Display* openDisplay()
    {
        for (int attempt = 0; attempt < 50; ++attempt)
        {
            if (auto* opened = XOpenDisplay (nullptr))
                return opened;

            std::this_thread::sleep_for (std::chrono::milliseconds (100));
        }

        return nullptr;
    }
};

} // namespace x11test
