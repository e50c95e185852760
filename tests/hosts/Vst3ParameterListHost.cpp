// The VST3 plug-in's parameters as a host lists them, on a small host of ours (the SDK's
// interface headers alone): the eleven and the bypass, nothing else (no emulated MIDI
// controllers), the four choices as lists whose entries a host shows by name.

#include "Vst3MiniHost.h"

#include <pluginterfaces/vst/ivsteditcontroller.h>
#include <pluginterfaces/vst/ivstmessage.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

using namespace Steinberg;

namespace
{
std::string toUtf8 (const Vst::String128 text)
{
    std::string result;

    for (int i = 0; i < 128 && text[i] != 0; ++i)
        result += static_cast<char> (text[i]); // our names and choices are ASCII

    return result;
}

/** The edit controller connected to its component, as a host sets them up. */
struct ConnectedController
{
    ConnectedController()
    {
        component = vst3host::loadComponent (HALVORA_VST3_BINARY);
        controller = vst3host::loadClass<Vst::IEditController> (HALVORA_VST3_BINARY, kVstComponentControllerClass,
                                                                Vst::IEditController_iid);

        if (component == nullptr || controller == nullptr)
            return;

        Vst::IConnectionPoint *componentPoint = nullptr, *controllerPoint = nullptr;
        component->queryInterface (Vst::IConnectionPoint_iid, reinterpret_cast<void**> (&componentPoint));
        controller->queryInterface (Vst::IConnectionPoint_iid, reinterpret_cast<void**> (&controllerPoint));

        if (componentPoint != nullptr && controllerPoint != nullptr)
        {
            componentPoint->connect (controllerPoint);
            controllerPoint->connect (componentPoint);
        }
    }

    Vst::IComponent* component = nullptr;
    Vst::IEditController* controller = nullptr;
};

TEST (Vst3Parameters, TheElevenAndTheBypassAndNothingElse)
{
    ConnectedController plugin;
    ASSERT_NE (plugin.component, nullptr);
    ASSERT_NE (plugin.controller, nullptr);

    std::vector<std::string> titles;
    int bypasses = 0;

    for (int32 i = 0; i < plugin.controller->getParameterCount(); ++i)
    {
        Vst::ParameterInfo info {};
        ASSERT_EQ (plugin.controller->getParameterInfo (i, info), kResultOk);
        titles.push_back (toUtf8 (info.title));
        bypasses += (info.flags & Vst::ParameterInfo::kIsBypass) != 0 ? 1 : 0;
    }

    const std::vector<std::string> ours { "Formant", "Gain (dB)", "Vibrato Rate (Hz)", "Vibrato Depth (%)", "Delay", "Reverb",
                                          "Morvel", "Range", "Voice", "Key", "Scale" };
    ASSERT_EQ (titles.size(), 12u);
    EXPECT_EQ (std::vector<std::string> (titles.begin(), titles.begin() + 11), ours);
    EXPECT_EQ (bypasses, 1);
}

TEST (Vst3Parameters, ChoicesAreListsOfTheirNames)
{
    ConnectedController plugin;
    ASSERT_NE (plugin.controller, nullptr);

    const std::map<std::string, std::vector<std::string>> choices {
        { "Range", { "Soprano", "Alto", "Tenor", "Baritone", "Bass" } },
        { "Voice", { "Female", "Male" } },
        { "Key", { "C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B" } },
        { "Scale", { "Major", "Minor", "Dorian", "Mixolydian", "Chromatic" } },
    };

    int lists = 0;

    for (int32 i = 0; i < plugin.controller->getParameterCount(); ++i)
    {
        Vst::ParameterInfo info {};
        ASSERT_EQ (plugin.controller->getParameterInfo (i, info), kResultOk);
        const auto title = toUtf8 (info.title);
        const auto isList = (info.flags & Vst::ParameterInfo::kIsList) != 0;
        const auto found = choices.find (title);

        if (found == choices.end())
        {
            EXPECT_FALSE (isList) << title;
            continue;
        }

        ++lists;
        const auto& names = found->second;
        EXPECT_TRUE (isList) << title;
        ASSERT_EQ (info.stepCount, static_cast<int32> (names.size() - 1)) << title;

        for (size_t k = 0; k < names.size(); ++k)
        {
            Vst::String128 text {};
            const auto normalised = static_cast<double> (k) / static_cast<double> (names.size() - 1);
            ASSERT_EQ (plugin.controller->getParamStringByValue (info.id, normalised, text), kResultOk);
            EXPECT_EQ (toUtf8 (text), names[k]) << title << " " << k;
        }
    }

    EXPECT_EQ (lists, 4);
}

} // namespace
