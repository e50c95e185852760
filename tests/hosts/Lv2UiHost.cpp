// The LV2 UI in a small X11 host of ours, as hosts embed it: the UI library found by its
// entry point, the editor put into a window of ours (ui:parent), its size taken through
// ui:resize, its gestures reported through ui:touch, and the framework's message loop run
// from our idle calls. No plug-in instance is handed over: the UI must work on the ports
// alone. Values go both ways through the ports: a value the host sets must show in the
// editor (a fader's and a choice box's pixels change, and change back; a knob, whose
// picture is the same at every value, is dragged from where the host put it), and a knob
// dragged with the X server's own test pointer must reach the host as port writes inside
// the gesture, with no host value echoed back. Without the plug-in instance an ON button
// reaches the plug-in that plays as a message on its ON-target port, which switches its
// correction and stays out of its saved state. Hosts reopen UIs, so a UI is opened, closed
// and opened again in one process, and the UI must cause no X errors.
//
// Needs an X server with the XTEST extension (the test run gives one through Xvfb).

#include "helpers/AtomSequenceBuffer.h"
#include "helpers/UridTable.h"
#include "lv2/Lv2OnTarget.h"
#include "lv2/Lv2Ports.h"

#include <lv2/state/state.h>
#include <lv2/ui/ui.h>

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

// Last: it brings Xlib, whose macros (None, Bool, Status) would rewrite names in the headers above.
#include "helpers/X11HostWindow.h"

namespace
{

//==============================================================================
// The ports a host learns from the bundle's metadata; checked against the layer's own table.
constexpr std::uint32_t gainPort = 5, vibRatePort = 6, delayMixPort = 8, scalePort = 14;

constexpr bool isPortOf (std::uint32_t port, std::string_view id)
{
    return halvora::lv2::isControlPort (port) && id == halvora::parameterIDs[port - halvora::lv2::firstControl];
}

static_assert (isPortOf (gainPort, "gain") && isPortOf (vibRatePort, "vibRate") && isPortOf (delayMixPort, "delayMix")
               && isPortOf (scalePort, "scale"));

constexpr int editorWidth = 1200, editorHeight = 600;

// The parts of the editor the checks look at, in its own coordinates. The knobs show one
// picture at every value (their value shows in a popup while dragged), so the pictures
// checked are the delay fader's and the scale box's; knobs are checked by dragging them.
using x11test::Area;
using x11test::Pixels;
using x11test::Point;

constexpr Area delayFaderArea { 40, 140, 24, 320 };
constexpr Area scaleBoxArea { 930, 522, 210, 40 };
constexpr Point gainKnobCentre { 800, 45 };     // its bounds start 30 pixels above the editor
constexpr Point keyOnButtonCentre { 269, 501 }; // right of the Key title, 40 x 22
constexpr Area keyOnButtonArea { 249, 490, 40, 22 };
constexpr Point vibRateKnobCentre { 250, 310 };

// Every wait below is bounded by a number of idle calls, at the rate hosts call them.
constexpr auto idleInterval = std::chrono::milliseconds (20);

//==============================================================================
/** The UI library, loaded once for the process as a host keeps it for its session; the
    reopening that matters is of the UI, not of the library.
*/
struct UiLibrary
{
    void* handle = dlopen (HALVORA_LV2_BINARY, RTLD_NOW | RTLD_LOCAL);
    const LV2UI_Descriptor* descriptor = nullptr;

    UiLibrary()
    {
        if (handle == nullptr)
            return;

        using Entry = const LV2UI_Descriptor* (*) (std::uint32_t);

        if (auto* entry = reinterpret_cast<Entry> (dlsym (handle, "lv2ui_descriptor")))
            descriptor = entry (0);
    }

    static UiLibrary& get()
    {
        static UiLibrary shared;
        return shared;
    }
};

std::string bundlePath()
{
    const std::string binary (HALVORA_LV2_BINARY);
    return binary.substr (0, binary.rfind ('/') + 1);
}

//==============================================================================
/** One open UI in a top-level window of ours, with what it told the host recorded. */
class UiHost : public x11test::X11HostWindow
{
public:
    struct PortWrite
    {
        std::uint32_t port, bufferSize, format;
        float value;
        std::vector<std::uint64_t> bytes; // what was written, 8-byte aligned as an atom is
    };

    struct Touch
    {
        std::uint32_t port;
        bool grabbed;

        bool operator== (const Touch& other) const { return port == other.port && grabbed == other.grabbed; }
    };

    UiHost()
        : X11HostWindow ("Halvora UI host", 400, 300, StructureNotifyMask)
    {
        if (display != nullptr)
            waitForMapNotify();
    }

    ~UiHost() override { close(); }

    /** Instantiates the UI with the features a plain X11 host offers; false when it refuses. */
    bool open (const LV2UI_Descriptor& uiDescriptor)
    {
        descriptor = &uiDescriptor;

        const LV2_Feature parentFeature { LV2_UI__parent, reinterpret_cast<void*> (static_cast<std::uintptr_t> (window)) };
        const LV2_Feature resizeFeature { LV2_UI__resize, &resize };
        const LV2_Feature touchFeature { LV2_UI__touch, &touch };
        // Tells the UI that the host will call its idle interface.
        const LV2_Feature idleFeature { LV2_UI__idleInterface, nullptr };
        const LV2_Feature mapFeature { LV2_URID__map, &uridMap };
        const LV2_Feature* const features[] { &parentFeature, &resizeFeature, &touchFeature, &idleFeature, &mapFeature, nullptr };

        LV2UI_Widget widgetPointer = nullptr;
        ui = descriptor->instantiate (descriptor, HALVORA_LV2_URI, bundlePath().c_str(), writePort, this,
                                      &widgetPointer, features);

        if (ui == nullptr)
            return false;

        widget = static_cast<Window> (reinterpret_cast<std::uintptr_t> (widgetPointer));

        if (descriptor->extension_data != nullptr)
            idleInterface = static_cast<const LV2UI_Idle_Interface*> (descriptor->extension_data (LV2_UI__idleInterface));

        return true;
    }

    void close()
    {
        if (ui != nullptr)
            descriptor->cleanup (ui);

        ui = nullptr;
        widget = 0;
        idleInterface = nullptr;

        if (display != nullptr)
            XSync (display, False);
    }

    void sendPortValue (std::uint32_t port, float value)
    {
        descriptor->port_event (ui, port, sizeof (float), 0, &value);
    }

    /** An atom from an output port of the plug-in, as hosts pass them on to UIs. */
    void sendPortAtom (std::uint32_t port, std::uint32_t format, const LV2_Atom& atom)
    {
        descriptor->port_event (ui, port, static_cast<std::uint32_t> (sizeof (LV2_Atom)) + atom.size, format, &atom);
    }

    /** What a host sends a UI as it opens: every control port's current value. */
    void sendDefaults()
    {
        for (std::size_t i = 0; i < halvora::parameterIDs.size(); ++i)
        {
            auto value = 0.0f; // a choice's first entry

            for (const auto& continuous : halvora::continuousParameters)
                if (std::strcmp (continuous.id, halvora::parameterIDs[i]) == 0)
                    value = continuous.defaultValue;

            sendPortValue (halvora::lv2::controlPortFor (i), value);
        }
    }

    /** One call of the UI's idle interface, then the pause a host leaves between them. */
    int idle()
    {
        const auto result = idleInterface->idle (ui);

        // Our own connection only carries our window's structure events; drop them.
        while (XPending (display) > 0)
        {
            XEvent event;
            XNextEvent (display, &event);
        }

        std::this_thread::sleep_for (idleInterval);
        return result;
    }

    void idleOnce() override { idle(); }

    Window editorWindow() const override { return widget; }

    /** Asks for the whole editor to be painted again, as an X server does when a window
        is uncovered (no background is cleared: the framework's window has none).
    */
    void exposeWholeEditor()
    {
        XClearArea (display, widget, 0, 0, 0, 0, True);
        XFlush (display);
    }

    /** Drags with the X server's pointer from a point of the editor, straight up (negative
        distance) or down; forgets earlier writes and touches first, and returns once the
        gesture has ended.
    */
    void drag (Point from, int distance)
    {
        writes.clear();
        touches.clear();
        dragStraight (from, distance);
        idleUntil ([&] { return touches.size() >= 2; });
    }

    Window widget = 0;
    LV2UI_Handle ui = nullptr;
    const LV2UI_Idle_Interface* idleInterface = nullptr;

    // The URID map a host offers its UIs, and the same one for the plug-in it plays.
    testutil::UridTable uridTable;
    LV2_URID_Map uridMap { &uridTable, testutil::UridTable::map };

    std::vector<std::pair<int, int>> sizesRequested;
    std::vector<PortWrite> writes;
    std::vector<Touch> touches;

private:
    void waitForMapNotify()
    {
        for (int i = 0; i < idleCallsForFiveSeconds; ++i)
        {
            XEvent event;

            if (XCheckTypedWindowEvent (display, window, MapNotify, &event))
                return;

            std::this_thread::sleep_for (idleInterval);
        }
    }

    static void writePort (LV2UI_Controller controller, std::uint32_t port, std::uint32_t bufferSize,
                           std::uint32_t format, const void* buffer)
    {
        auto value = 0.0f;

        if (bufferSize == sizeof (float) && buffer != nullptr)
            std::memcpy (&value, buffer, sizeof value);

        std::vector<std::uint64_t> bytes ((bufferSize + 7) / 8, 0);

        if (buffer != nullptr)
            std::memcpy (bytes.data(), buffer, bufferSize);

        static_cast<UiHost*> (controller)->writes.push_back ({ port, bufferSize, format, value, std::move (bytes) });
    }

    static int resizeWindow (LV2UI_Feature_Handle handle, int width, int height)
    {
        auto& host = *static_cast<UiHost*> (handle);
        host.sizesRequested.emplace_back (width, height);

        if (width <= 0 || height <= 0)
            return 1;

        XResizeWindow (host.display, host.window, static_cast<unsigned int> (width), static_cast<unsigned int> (height));
        XSync (host.display, False);
        return 0;
    }

    static void touchPort (LV2UI_Feature_Handle handle, std::uint32_t port, bool grabbed)
    {
        static_cast<UiHost*> (handle)->touches.push_back ({ port, grabbed });
    }

    const LV2UI_Descriptor* descriptor = nullptr;
    LV2UI_Resize resize { this, resizeWindow };
    LV2UI_Touch touch { this, touchPort };
};

//==============================================================================
/** The UI's entry point in the bundle's library; the test fails without it. */
const LV2UI_Descriptor* uiDescriptor()
{
    auto& library = UiLibrary::get();
    EXPECT_NE (library.handle, nullptr) << "dlopen " << HALVORA_LV2_BINARY << ": " << dlerror();
    EXPECT_NE (library.descriptor, nullptr) << "no lv2ui_descriptor (0)";

    if (library.descriptor != nullptr)
    {
        EXPECT_STREQ (library.descriptor->URI, HALVORA_LV2_URI ":UI");
    }

    return library.descriptor;
}

//==============================================================================
// The checks, each on an open UI, so that a reopened UI meets them all again.

/** The editor is a mapped child of our window at its one size, which it asked the host for. */
void checkEmbedding (UiHost& host)
{
    ASSERT_NE (host.widget, 0u) << "the UI gave no widget";
    ASSERT_NE (host.idleInterface, nullptr) << "the UI has no idle interface";

    const std::vector<std::pair<int, int>> editorSize { { editorWidth, editorHeight } };
    EXPECT_EQ (host.sizesRequested, editorSize);

    Window root = 0, parent = 0, *children = nullptr;
    unsigned int numChildren = 0;
    ASSERT_NE (XQueryTree (host.display, host.widget, &root, &parent, &children, &numChildren), 0);

    if (children != nullptr)
        XFree (children);

    EXPECT_EQ (parent, host.window) << "the editor's window is not a child of the host's";

    EXPECT_TRUE (host.idleUntil ([&] { return host.editorIsViewable(); })) << "the editor's window was never mapped";

    XWindowAttributes attributes {};
    ASSERT_NE (XGetWindowAttributes (host.display, host.widget, &attributes), 0);
    EXPECT_EQ (attributes.width, editorWidth);
    EXPECT_EQ (attributes.height, editorHeight);

    EXPECT_TRUE (host.waitUntilPainted (editorWidth, editorHeight)) << "the editor never painted";

    EXPECT_EQ (host.idle(), 0) << "the UI reported itself closed";
}

/** Values the host sets show in the editor, and setting the first value back shows the
    first picture to the bit; none of them is written back to its port.

    The first picture was painted with the whole editor. A control repainted on its own can
    differ from it by a step of rounding at its edges (the background picture is scaled
    from wherever the repainted region starts), so the host exposes the whole editor before
    comparing, as a window manager does when the window is uncovered.
*/
void checkHostValuesShow (UiHost& host)
{
    host.writes.clear();

    struct Case
    {
        std::uint32_t port;
        float value;
        Area area;
    };

    const Case cases[] { { delayMixPort, 50.0f, delayFaderArea }, { scalePort, 3.0f, scaleBoxArea } }; // 3: Mixolydian

    for (const auto& [port, value, area] : cases)
    {
        SCOPED_TRACE ("port " + std::to_string (port));

        const auto first = host.grabSettled (area);
        ASSERT_FALSE (first.empty()) << "the editor never settled";

        host.sendPortValue (port, value);
        EXPECT_TRUE (host.idleUntil ([&] { return x11test::pixelsChanged (host.grab (area), first) > 50; }))
            << "the editor did not show " << value;

        host.sendPortValue (port, 0.0f);
        host.exposeWholeEditor();
        EXPECT_TRUE (host.idleUntil ([&] { return host.grab (area) == first; }))
            << "the editor did not return to its first picture";
    }

    EXPECT_TRUE (host.writes.empty()) << host.writes.size() << " host values written back, the first to port "
                                      << host.writes.front().port;
}

/** Each write the drag made is to `port`, a plain float within the parameter's range. */
void checkWritesOfDrag (const UiHost& host, std::uint32_t port, float minimum, float maximum)
{
    ASSERT_FALSE (host.writes.empty()) << "the drag reached no port";

    for (const auto& write : host.writes)
    {
        EXPECT_EQ (write.port, port);
        EXPECT_EQ (write.bufferSize, sizeof (float));
        EXPECT_EQ (write.format, 0u);
        EXPECT_GE (write.value, minimum);
        EXPECT_LE (write.value, maximum);
    }

    const std::vector<UiHost::Touch> gesture { { port, true }, { port, false } };
    EXPECT_EQ (host.touches, gesture) << host.touches.size() << " touch calls around the drag";
}

/** A knob dragged upwards with the pointer reaches its port as a larger value, between the
    host's touch on and touch off; the value the host then holds, and another it sets, are
    not echoed back.
*/
void checkDragReachesPort (UiHost& host)
{
    host.drag (vibRateKnobCentre, -60);
    ASSERT_NO_FATAL_FAILURE (checkWritesOfDrag (host, vibRatePort, 0.1f, 10.0f));
    EXPECT_GT (host.writes.back().value, 5.0f) << "dragging upwards did not raise the rate from its default";

    const auto valueHeld = host.writes.back().value;
    host.writes.clear();
    host.sendPortValue (vibRatePort, valueHeld);
    host.sendPortValue (vibRatePort, 2.5f);
    host.idleFor (10);
    EXPECT_TRUE (host.writes.empty()) << "a host value was written back to port " << host.writes.front().port;
}

/** The value the host sets is where the knob is: a drag starts from it. From the gain's
    top, 25 pixels down lowers it by a tenth of its 48 dB range; from the default 0 dB the
    same drag would give a negative gain.
*/
void checkHostValueMovesKnob (UiHost& host)
{
    host.writes.clear();
    host.sendPortValue (gainPort, 24.0f);
    host.idleFor (5);
    EXPECT_TRUE (host.writes.empty()) << "the host's gain was written back";

    host.drag (gainKnobCentre, 25);
    ASSERT_NO_FATAL_FAILURE (checkWritesOfDrag (host, gainPort, -24.0f, 24.0f));
    EXPECT_GT (host.writes.back().value, 12.0f) << "the drag did not start from the host's 24 dB";
    EXPECT_LT (host.writes.back().value, 24.0f) << "dragging down did not lower the gain";

    host.sendPortValue (gainPort, 0.0f);
}

constexpr int runLength = 512, runs = 24;

/** A voice off the key: C sharp, which C major (the defaults) pulls to C or D. */
std::vector<float> voiceOffTheKey()
{
    std::vector<float> voice (runLength * runs);

    for (std::size_t i = 0; i < voice.size(); ++i)
        voice[i] = 0.4f * std::sin (2.0f * 3.14159265f * 277.18f * static_cast<float> (i) / 44100.0f);

    return voice;
}

/** What the plug-in played (its left output), saved, and answered on its report port (the
    first message there, as the bytes of its atom).
*/
struct Played
{
    std::vector<float> left;
    std::string saved;
    std::vector<std::uint64_t> answer;
};

/** The bundle's plug-in, played by this host through its C interface: the voice off the key
    through both inputs in runs of 512, with messages[run] (where there is one) on its
    ON-target port in that run.
*/
Played playPlugin (LV2_URID_Map& map, const std::vector<const std::vector<std::uint64_t>*>& messages)
{
    using Entry = const LV2_Descriptor* (*) (std::uint32_t);
    auto* entry = reinterpret_cast<Entry> (dlsym (UiLibrary::get().handle, "lv2_descriptor"));
    const auto* plugin = entry != nullptr ? entry (0) : nullptr;

    if (plugin == nullptr)
        return {};

    const LV2_Feature mapFeature { LV2_URID__map, &map };
    const LV2_Feature* const features[] { &mapFeature, nullptr };
    auto* instance = plugin->instantiate (plugin, 44100.0, bundlePath().c_str(), features);

    if (instance == nullptr)
        return {};

    const auto urids = halvora::lv2::OnTargetUrids::map (map);
    testutil::AtomSequenceBuffer empty (urids.atomSequence);
    std::vector<std::uint64_t> report (64, 0);
    auto& reportSequence = *reinterpret_cast<LV2_Atom_Sequence*> (report.data());

    const auto voice = voiceOffTheKey();
    std::vector<float> in (runLength), outLeft (runLength), outRight (runLength);
    Played played;
    plugin->connect_port (instance, halvora::lv2::audioIn1, in.data());
    plugin->connect_port (instance, halvora::lv2::audioIn2, in.data());
    plugin->connect_port (instance, halvora::lv2::audioOut1, outLeft.data());
    plugin->connect_port (instance, halvora::lv2::audioOut2, outRight.data());
    plugin->connect_port (instance, halvora::lv2::onTargetReport, report.data());
    plugin->activate (instance);

    for (std::size_t run = 0; run < static_cast<std::size_t> (runs); ++run)
    {
        const auto start = voice.begin() + static_cast<std::ptrdiff_t> (run) * runLength;
        std::copy (start, start + runLength, in.begin());

        testutil::AtomSequenceBuffer input (urids.atomSequence);

        if (run < messages.size() && messages[run] != nullptr)
        {
            const auto& atom = *reinterpret_cast<const LV2_Atom*> (messages[run]->data());
            input.add (&atom, static_cast<std::uint32_t> (sizeof (LV2_Atom)) + atom.size);
        }

        plugin->connect_port (instance, halvora::lv2::onTarget, input.sequence());
        // As hosts hand an output sequence over: its size is the room for the body.
        reportSequence.atom.size = static_cast<std::uint32_t> (report.size() * sizeof (std::uint64_t) - sizeof (LV2_Atom));
        plugin->run (instance, runLength);
        played.left.insert (played.left.end(), outLeft.begin(), outLeft.end());

        if (played.answer.empty() && reportSequence.atom.size > sizeof (LV2_Atom_Sequence_Body))
        {
            const auto& event = *reinterpret_cast<const LV2_Atom_Event*> (&reportSequence + 1);
            played.answer.assign ((sizeof (LV2_Atom) + event.body.size + 7) / 8, 0);
            std::memcpy (played.answer.data(), &event.body, sizeof (LV2_Atom) + event.body.size);
        }
    }

    plugin->connect_port (instance, halvora::lv2::onTarget, empty.sequence());

    if (const auto* state = static_cast<const LV2_State_Interface*> (plugin->extension_data (LV2_STATE__interface)))
    {
        const auto store = [] (LV2_State_Handle handle, std::uint32_t, const void* value, std::size_t size, std::uint32_t,
                               std::uint32_t) -> LV2_State_Status {
            static_cast<std::string*> (handle)->assign (static_cast<const char*> (value), size);
            return LV2_STATE_SUCCESS;
        };
        state->save (instance, store, &played.saved, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, features);
    }

    plugin->deactivate (instance);
    plugin->cleanup (instance);
    return played;
}

/** 32-bit float stereo WAV at 44.1 kHz, both channels `samples`. */
void writeStereoWav (const std::string& path, const std::vector<float>& samples)
{
    const auto put32 = [] (std::string& out, std::uint32_t v) { out.append (reinterpret_cast<const char*> (&v), 4); };
    const auto put16 = [] (std::string& out, std::uint16_t v) { out.append (reinterpret_cast<const char*> (&v), 2); };
    const auto dataBytes = static_cast<std::uint32_t> (samples.size() * 2 * sizeof (float));

    std::string file = "RIFF";
    put32 (file, 36 + dataBytes);
    file += "WAVEfmt ";
    put32 (file, 16);
    put16 (file, 3); // IEEE float
    put16 (file, 2);
    put32 (file, 44100);
    put32 (file, 44100 * 8);
    put16 (file, 8);
    put16 (file, 32);
    file += "data";
    put32 (file, dataBytes);

    for (const auto sample : samples)
        for (int channel = 0; channel < 2; ++channel)
            file.append (reinterpret_cast<const char*> (&sample), sizeof (float));

    std::ofstream (path, std::ios::binary) << file;
}

/** The left channel of a 32-bit float stereo WAV (halvora-render's own output). */
std::vector<float> readLeftChannel (const std::string& path)
{
    std::ifstream stream (path, std::ios::binary);
    const std::string file ((std::istreambuf_iterator<char> (stream)), std::istreambuf_iterator<char>());
    std::vector<float> left;

    for (std::size_t pos = 12; pos + 8 <= file.size();)
    {
        std::uint32_t size = 0;
        std::memcpy (&size, file.data() + pos + 4, 4);

        if (file.compare (pos, 4, "data") == 0)
        {
            for (std::size_t at = pos + 8; at + 8 <= std::min (file.size(), pos + 8 + size); at += 8)
                std::memcpy (&left.emplace_back(), file.data() + at, sizeof (float));

            break;
        }

        pos += 8 + size + (size & 1u);
    }

    return left;
}

/** What `halvora-render --on key --block 512` makes of the voice off the key in both channels. */
std::vector<float> renderWithKeyOn()
{
    const auto folder = std::filesystem::temp_directory_path() / ("halvora-ui-host-" + std::to_string (getpid()));
    std::filesystem::create_directories (folder);
    const auto input = (folder / "voice.wav").string(), output = (folder / "tuned.wav").string();
    writeStereoWav (input, voiceOffTheKey());

    const auto command = std::string ("\"" HALVORA_RENDER "\" -q --on key --block 512 \"") + input + "\" \"" + output + "\"";
    const auto rendered = std::system (command.c_str()) == 0 ? readLeftChannel (output) : std::vector<float> {};
    std::filesystem::remove_all (folder);
    return rendered;
}

/** Without the plug-in instance, the Key's ON button sends the key's target on the
    ON-target port; played through the plug-in it switches the correction on, as
    halvora-render --on key does, and the plug-in's saved state is the same as without it.
*/
void checkOnButtonReachesThePlugIn (UiHost& host)
{
    host.writes.clear();
    host.click (keyOnButtonCentre);

    const auto isOnTargetWrite = [] (const UiHost::PortWrite& write) { return write.port == halvora::lv2::onTarget; };
    ASSERT_TRUE (host.idleUntil ([&] { return std::any_of (host.writes.begin(), host.writes.end(), isOnTargetWrite); }))
        << "the ON click sent nothing to the ON-target port";

    const auto& write = *std::find_if (host.writes.begin(), host.writes.end(), isOnTargetWrite);
    const auto urids = halvora::lv2::OnTargetUrids::map (host.uridMap);
    EXPECT_EQ (write.format, urids.eventTransfer);
    ASSERT_GE (write.bufferSize, sizeof (LV2_Atom));
    const auto& atom = *reinterpret_cast<const LV2_Atom*> (write.bytes.data());
    ASSERT_EQ (write.bufferSize, sizeof (LV2_Atom) + atom.size);
    EXPECT_EQ (halvora::lv2::readOnTarget (urids, atom), 3) << "not the key's target";

    const auto corrected = playPlugin (host.uridMap, { &write.bytes });
    const auto untouched = playPlugin (host.uridMap, {});
    ASSERT_FALSE (corrected.left.empty());
    EXPECT_NE (corrected.left, untouched.left) << "the plug-in's correction did not act";
    EXPECT_EQ (corrected.left, renderWithKeyOn()) << "the plug-in did not play as halvora-render --on key";
    EXPECT_FALSE (corrected.saved.empty());
    EXPECT_EQ (corrected.saved, untouched.saved) << "the ON target reached the saved state";
}

} // namespace

//==============================================================================
class Lv2UiHost : public testing::Test
{
protected:
    void SetUp() override
    {
        if (std::getenv ("DISPLAY") == nullptr)
            GTEST_SKIP() << "no X display";

        descriptor = uiDescriptor();
        ASSERT_NE (descriptor, nullptr);

        x11test::xErrors.clear();
        previousErrorHandler = XSetErrorHandler (x11test::recordXError);
    }

    void TearDown() override
    {
        if (descriptor == nullptr)
            return;

        XSetErrorHandler (previousErrorHandler);
        EXPECT_TRUE (x11test::xErrors.empty()) << x11test::xErrors.size() << " X errors, the first: " << x11test::firstXError();
    }

    /** Opens the UI in a fresh window of ours and sends it the ports' first values. */
    void open (UiHost& host)
    {
        ASSERT_TRUE (host.hasDisplay()) << "cannot open the X display " << std::getenv ("DISPLAY");
        ASSERT_TRUE (x11test::hasXTest (host.display)) << "the X server has no XTEST extension";
        ASSERT_TRUE (host.open (*descriptor)) << "the UI refused to open";
        host.sendDefaults();
    }

    /** Opens the UI and checks it is embedded and painted, for the checks that need it. */
    void openEmbedded (UiHost& host)
    {
        ASSERT_NO_FATAL_FAILURE (open (host));
        checkEmbedding (host);
    }

    const LV2UI_Descriptor* descriptor = nullptr;
    XErrorHandler previousErrorHandler = nullptr;
};

TEST_F (Lv2UiHost, EmbedsInTheHostsWindowAtItsSize)
{
    UiHost host;
    ASSERT_NO_FATAL_FAILURE (open (host));
    checkEmbedding (host);
}

TEST_F (Lv2UiHost, ValuesTheHostSetsShowInTheEditor)
{
    UiHost host;
    ASSERT_NO_FATAL_FAILURE (openEmbedded (host));
    checkHostValuesShow (host);
}

TEST_F (Lv2UiHost, AKnobDraggedReachesItsPortInsideTheGesture)
{
    UiHost host;
    ASSERT_NO_FATAL_FAILURE (openEmbedded (host));
    checkDragReachesPort (host);
}

TEST_F (Lv2UiHost, AValueTheHostSetsMovesTheKnob)
{
    UiHost host;
    ASSERT_NO_FATAL_FAILURE (openEmbedded (host));
    checkHostValueMovesKnob (host);
}

TEST_F (Lv2UiHost, AnOnClickReachesThePlayingPlugInThroughItsPort)
{
    UiHost host;
    ASSERT_NO_FATAL_FAILURE (openEmbedded (host));
    checkOnButtonReachesThePlugIn (host);
}

/** Without the plug-in instance, a window opening asks the plug-in which ON target it plays
    with, and lights that button when the answer comes back on the report port: the button
    then looks as it did in the window where it was clicked.
*/
TEST_F (Lv2UiHost, AReopenedWindowLightsTheTargetThePlugInPlays)
{
    Pixels lit;
    {
        UiHost first;
        ASSERT_NO_FATAL_FAILURE (openEmbedded (first));
        first.click (keyOnButtonCentre);
        first.movePointerTo ({ 5, 5 }); // nothing hovered
        lit = first.grabSettled (keyOnButtonArea);
    }

    UiHost host;
    ASSERT_NO_FATAL_FAILURE (openEmbedded (host));
    const auto urids = halvora::lv2::OnTargetUrids::map (host.uridMap);
    const auto asks = [&] (const UiHost::PortWrite& write) {
        return write.port == halvora::lv2::onTarget && write.format == urids.eventTransfer
            && halvora::lv2::isOnTargetQuestion (urids, *reinterpret_cast<const LV2_Atom*> (write.bytes.data()));
    };
    const auto question = std::find_if (host.writes.begin(), host.writes.end(), asks);
    ASSERT_NE (question, host.writes.end()) << "the window did not ask the plug-in for its target";

    const auto unlit = host.grabSettled (keyOnButtonArea);
    ASSERT_GT (x11test::pixelsChanged (lit, unlit), 20) << "a lit button looks as an unlit one";

    // The plug-in plays with the key's target, lit by the first window, and hears the question.
    const auto keyMessage = halvora::lv2::OnTargetMessage::make (urids, 3);
    std::vector<std::uint64_t> keyBytes (sizeof (keyMessage) / 8);
    std::memcpy (keyBytes.data(), &keyMessage, sizeof (keyMessage));
    const auto played = playPlugin (host.uridMap, { &keyBytes, &question->bytes });
    ASSERT_FALSE (played.answer.empty()) << "the plug-in did not answer on its report port";
    const auto& answer = *reinterpret_cast<const LV2_Atom*> (played.answer.data());
    EXPECT_EQ (halvora::lv2::readOnTarget (urids, answer), 3);

    host.sendPortAtom (halvora::lv2::onTargetReport, urids.eventTransfer, answer);
    EXPECT_TRUE (host.idleUntil ([&] { return host.grab (keyOnButtonArea) == lit; })) << "the Key's ON button did not light";
}

TEST_F (Lv2UiHost, ClosesAndReopensInOneProcess)
{
    for (int round = 1; round <= 2; ++round)
    {
        SCOPED_TRACE ("opening " + std::to_string (round));
        UiHost host;
        ASSERT_NO_FATAL_FAILURE (openEmbedded (host));
        ASSERT_NO_FATAL_FAILURE (checkHostValuesShow (host));
        ASSERT_NO_FATAL_FAILURE (checkDragReachesPort (host));
        ASSERT_NO_FATAL_FAILURE (checkHostValueMovesKnob (host));
        host.close();
    }
}
