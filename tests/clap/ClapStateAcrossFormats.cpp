// One state document for every format: a state the CLAP plug-in saves opens in the VST3 and
// LV2 plug-ins, and what they save opens in the CLAP plug-in, each through the built binary
// as a host loads it (the CLAP state streams, the VST3 component's setState and getState,
// the LV2 state interface with the document's text). Each load runs in a child process, so
// that the three plug-ins never share one.

#include "clap/ClapTestHost.h"
#include "hosts/ChildHost.h"
#include "hosts/StateBytes.h"
#include "hosts/Vst3MiniHost.h"

#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <vector>

namespace
{
using namespace statebytes;

/** A parameter's value as a state document spells it, or "" without one. */
std::string valueIn (const std::string& saved, const std::string& id)
{
    const auto key = "id=\"" + id + "\" value=\"";
    const auto start = saved.find (key);

    if (start == std::string::npos)
        return {};

    const auto end = saved.find ('"', start + key.size());
    return end == std::string::npos ? std::string() : saved.substr (start + key.size(), end - start - key.size());
}

/** The document's text inside the processor's frame, as the LV2 plug-in keeps it. */
std::string textOf (const std::string& framed)
{
    return framed.size() < 9 ? std::string() : framed.substr (8, framed.size() - 9);
}

/** What the session wrote to its pipe, or "" (with the test failed) if it did not finish. */
std::string inChild (const std::function<std::string()>& session)
{
    const auto outcome = childhost::run ([&] (int fd) {
        const auto report = session();
        [[maybe_unused]] auto written = ::write (fd, report.data(), report.size());
        return report.empty() ? 1 : 0;
    });

    EXPECT_EQ (outcome.problem, "");
    return outcome.report;
}

//==============================================================================
/** The CLAP plug-in's saved state after parameter events, or after loading `bytes`. */
std::string clapSaves (const std::vector<std::pair<clap_id, double>>& values, const std::string& bytes = {})
{
    return inChild ([&] {
        claphost::Host host;
        claphost::Instance plugin (claphost::factoryOf (claphost::loadEntry (HALVORA_CLAP_BINARY)), host, "org.halvora.halvora");

        if (! plugin.isLoaded())
            return std::string();

        claphost::InputEvents events;
        for (const auto& [id, value] : values)
            events.add (id, value);
        plugin.flush (events);

        claphost::InStream stream (bytes);
        if (! bytes.empty() && ! plugin.state->load (plugin.plugin, &stream.stream))
            return std::string ("refused");

        return plugin.save();
    });
}

/** The VST3 component's state after it restores `bytes`. */
std::string vst3Saves (const std::string& bytes)
{
    return inChild ([&] {
        auto* component = vst3host::loadComponent (HALVORA_VST3_BINARY);

        if (component == nullptr)
            return std::string();

        vst3host::PieceStream in (bytes);
        const auto result = component->setState (&in);
        vst3host::PieceStream out;
        component->getState (&out);
        component->terminate();
        component->release();
        return result == Steinberg::kResultTrue ? out.content() : std::string ("refused");
    });
}

/** The LV2 plug-in's saved text after it restores `text`. */
std::string lv2Saves (const std::string& text)
{
    return inChild ([&] {
        static std::vector<std::string> uris;
        static LV2_URID_Map map { nullptr, [] (LV2_URID_Map_Handle, const char* uri) {
                                     for (size_t i = 0; i < uris.size(); ++i)
                                         if (uris[i] == uri)
                                             return static_cast<LV2_URID> (i + 1);
                                     uris.emplace_back (uri);
                                     return static_cast<LV2_URID> (uris.size());
                                 } };
        const LV2_Feature mapFeature { LV2_URID__map, &map };
        const LV2_Feature* const features[] { &mapFeature, nullptr };

        auto* library = dlopen (HALVORA_LV2_BINARY, RTLD_NOW | RTLD_LOCAL);
        auto entry = library != nullptr ? reinterpret_cast<LV2_Descriptor_Function> (dlsym (library, "lv2_descriptor")) : nullptr;
        const auto* descriptor = entry != nullptr ? entry (0) : nullptr;
        auto* handle = descriptor != nullptr ? descriptor->instantiate (descriptor, 48000.0, HALVORA_LV2_BUNDLE, features) : nullptr;

        if (handle == nullptr || descriptor->extension_data == nullptr)
            return std::string();

        const auto* state = static_cast<const LV2_State_Interface*> (descriptor->extension_data (LV2_STATE__interface));

        struct Exchange
        {
            std::string in, out;
            LV2_URID key, stringType;
        } exchange { text, {}, map.map (nullptr, HALVORA_LV2_URI ":state"), map.map (nullptr, LV2_ATOM__String) };

        const auto retrieve = [] (LV2_State_Handle h, std::uint32_t key, size_t* size, std::uint32_t* type, std::uint32_t* flags) -> const void* {
            const auto& e = *static_cast<Exchange*> (h);
            if (key != e.key)
                return nullptr;
            *size = e.in.size() + 1;
            *type = e.stringType;
            *flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
            return e.in.c_str();
        };
        const auto store = [] (LV2_State_Handle h, std::uint32_t key, const void* value, size_t size, std::uint32_t, std::uint32_t) {
            auto& e = *static_cast<Exchange*> (h);
            if (key == e.key)
                e.out.assign (static_cast<const char*> (value), size);
            return LV2_STATE_SUCCESS;
        };

        const auto restored = state->restore (handle, retrieve, &exchange, 0, features);
        state->save (handle, store, &exchange, 0, features);
        descriptor->cleanup (handle);
        return restored == LV2_STATE_SUCCESS ? exchange.out : std::string ("refused");
    });
}

//==============================================================================
TEST (ClapStateAcrossFormats, TheClapsStateOpensInTheVst3AndTheLv2)
{
    const auto fromClap = clapSaves ({ { 1, -4.5 }, { 9, 3.0 }, { 10, 1.0 } });
    ASSERT_EQ (valueIn (fromClap, "gain"), "-4.5") << fromClap;

    const auto vst3 = vst3Saves (fromClap);
    EXPECT_EQ (valueIn (vst3, "gain"), "-4.5") << vst3;
    EXPECT_EQ (valueIn (vst3, "key"), "3.0") << vst3;
    EXPECT_EQ (valueIn (vst3, "scale"), "1.0") << vst3;

    const auto lv2 = lv2Saves (textOf (fromClap));
    EXPECT_EQ (valueIn (lv2, "gain"), "-4.5") << lv2;
    EXPECT_EQ (valueIn (lv2, "key"), "3.0") << lv2;
    EXPECT_EQ (valueIn (lv2, "scale"), "1.0") << lv2;
}

TEST (ClapStateAcrossFormats, TheVst3sAndTheLv2sStatesOpenInTheClap)
{
    // The VST3 plug-in's state as a host keeps it: the document's frame, then the wrapper's trailer.
    const auto vst3 = vst3Saves (frame (gainState ("7.5")));
    ASSERT_EQ (valueIn (vst3, "gain"), "7.5") << vst3;
    const auto clapFromVst3 = clapSaves ({}, vst3);
    EXPECT_EQ (valueIn (clapFromVst3, "gain"), "7.5") << clapFromVst3;

    // The LV2 plug-in's as a session keeps it: the document's text, framed again to be handed over.
    const auto lv2 = lv2Saves (gainState ("-2.25"));
    ASSERT_EQ (valueIn (lv2, "gain"), "-2.25") << lv2;
    const auto clapFromLv2 = clapSaves ({}, frame (lv2.c_str()));
    EXPECT_EQ (valueIn (clapFromLv2, "gain"), "-2.25") << clapFromLv2;
}

} // namespace
