#pragma once

#include "HalvoraVocabulary.h"

#include <juce_graphics/juce_graphics.h>

#include <array>
#include <string_view>

namespace halvora
{

/** What a control of the panel is, and where its title goes. */
enum class ControlKind
{
    knob,      // a gold rotary knob, its title under it
    choiceBox, // a drop-down list under its title, the title's ON button right of it
    fader      // a vertical fader, its caption reading downwards beside it
};

/** A rectangle of the fixed 1200 x 600 panel, in pixels. */
struct PanelArea
{
    int x, y, width, height;

    juce::Rectangle<int> toRectangle() const noexcept { return { x, y, width, height }; }
};

/** One control of the window: the parameter it moves, what it is, its title, and where
    the control and its title sit.
*/
struct EditorControl
{
    const char* paramID;
    ControlKind kind;
    const char* title;
    PanelArea bounds, titleBounds;
};

/** The panel, control by control: the editor builds, attaches and lays out its controls
    from this. The choice boxes come in the order of their ON buttons' targets.
*/
// clang-format off
inline constexpr std::array<EditorControl, 11> editorControls { {
    //  parameter          kind                     title            control                  title
    { ParamID::formant,   ControlKind::knob,      "Formant",       {  325, -30, 150, 150 }, {  280, 128, 240,  28 } },
    { ParamID::gain,      ControlKind::knob,      "Gain",          {  725, -30, 150, 150 }, {  680, 128, 240,  28 } },
    { ParamID::vibRate,   ControlKind::knob,      "Vibrato Rate",  {  100, 160, 300, 300 }, {  130, 393, 240,  28 } },
    { ParamID::vibDepth,  ControlKind::knob,      "Vibrato Depth", {  800, 150, 300, 300 }, {  830, 383, 240,  28 } },
    { ParamID::morvel,    ControlKind::knob,      "Morvel",        {  530, 415, 140, 140 }, {  480, 563, 240,  28 } },
    { ParamID::range,     ControlKind::choiceBox, "Range",         {   60,  64, 210,  40 }, {   85,  40, 160,  28 } },
    { ParamID::voice,     ControlKind::choiceBox, "Voice",         {  930,  64, 210,  40 }, {  955,  40, 160,  28 } },
    { ParamID::key,       ControlKind::choiceBox, "Key",           {   60, 522, 210,  40 }, {   85, 490, 160,  28 } },
    { ParamID::scale,     ControlKind::choiceBox, "Scale",         {  930, 522, 210,  40 }, {  955, 490, 160,  28 } },
    { ParamID::delayMix,  ControlKind::fader,     "Delay",         {   40, 140,  24, 320 }, {   72, 140,  32, 320 } },
    { ParamID::reverbMix, ControlKind::fader,     "Reverb",        { 1136, 140,  24, 320 }, { 1096, 140,  32, 320 } },
} };
// clang-format on

/** True if the choice boxes come in MvTarget order, each under the name its ON button's
    target goes by, and there is one for every target.
*/
constexpr bool choiceBoxesFollowOnTargets()
{
    std::size_t target = 1;

    for (const auto& control : editorControls)
        if (control.kind == ControlKind::choiceBox)
            if (target >= onTargetNames.size() || std::string_view (control.paramID) != onTargetNames[target++])
                return false;

    return target == onTargetNames.size();
}

static_assert (choiceBoxesFollowOnTargets(), "the ON buttons light in the order of the choice boxes");

} // namespace halvora
