#pragma once

#include <array>
#include <cstdint>
#include <string_view>

/** The words every part of Halvora shares: parameter IDs and ranges, choice lists, the
    scales, the vocal ranges and the product colours. The processor, the editor, the tools
    and the tests all take them from here, so a misspelt ID fails to compile and a
    parameter is renamed in one place.

    Plain data only (no JUCE types), so the signal-processing code can use it without the
    GUI modules.
*/
namespace halvora
{

//==============================================================================
/** Parameter IDs: what hosts automate and saved states store. Never change one: saved
    projects and presets name their values by these strings.
*/
// clang-format off
namespace ParamID
{
    inline constexpr const char* formant   = "formant";
    inline constexpr const char* gain      = "gain";
    inline constexpr const char* vibRate   = "vibRate";
    inline constexpr const char* vibDepth  = "vibDepth";
    inline constexpr const char* delayMix  = "delayMix";
    inline constexpr const char* reverbMix = "reverbMix";
    inline constexpr const char* morvel    = "morvel";
    inline constexpr const char* range     = "range";
    inline constexpr const char* voice     = "voice";
    inline constexpr const char* key       = "key";
    inline constexpr const char* scale     = "scale";
}
// clang-format on

/** The eleven IDs in registration order, which is each parameter's index in the processor. */
inline constexpr std::array<const char*, 11> parameterIDs { ParamID::formant, ParamID::gain, ParamID::vibRate,
                                                            ParamID::vibDepth, ParamID::delayMix, ParamID::reverbMix,
                                                            ParamID::morvel, ParamID::range, ParamID::voice,
                                                            ParamID::key, ParamID::scale };

//==============================================================================
/** A continuous parameter: plain values in its own units on a linear grid of `step`. */
struct ContinuousParameter
{
    const char* id;
    const char* name;
    float minimum, maximum, step, defaultValue;
};

// clang-format off
inline constexpr std::array<ContinuousParameter, 7> continuousParameters { {
    { ParamID::formant,   "Formant",             -1.0f,   1.0f, 0.001f, 0.0f },
    { ParamID::gain,      "Gain (dB)",          -24.0f,  24.0f, 0.01f,  0.0f },
    { ParamID::vibRate,   "Vibrato Rate (Hz)",    0.1f,  10.0f, 0.001f, 5.0f },
    { ParamID::vibDepth,  "Vibrato Depth (%)",    0.0f, 100.0f, 0.01f,  0.0f },
    { ParamID::delayMix,  "Delay",                0.0f, 100.0f, 0.1f,   0.0f },
    { ParamID::reverbMix, "Reverb",               0.0f, 100.0f, 0.1f,   0.0f },
    { ParamID::morvel,    "Morvel",               0.0f,   1.0f, 0.001f, 0.5f },
} };
// clang-format on

//==============================================================================
// clang-format off
inline constexpr std::array<const char*, 5>  rangeNames { "Soprano", "Alto", "Tenor", "Baritone", "Bass" };
inline constexpr std::array<const char*, 2>  voiceNames { "Female", "Male" };
inline constexpr std::array<const char*, 12> keyNames   { "C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B" };
inline constexpr std::array<const char*, 5>  scaleNames { "Major", "Minor", "Dorian", "Mixolydian", "Chromatic" };
// clang-format on

/** A choice parameter: its value is the index into `choices`, and its default is 0. */
struct ChoiceParameter
{
    const char* id;
    const char* name;
    const char* const* choices;
    int numChoices;
};

// clang-format off
inline constexpr std::array<ChoiceParameter, 4> choiceParameters { {
    { ParamID::range, "Range", rangeNames.data(), static_cast<int> (rangeNames.size()) },
    { ParamID::voice, "Voice", voiceNames.data(), static_cast<int> (voiceNames.size()) },
    { ParamID::key,   "Key",   keyNames.data(),   static_cast<int> (keyNames.size()) },
    { ParamID::scale, "Scale", scaleNames.data(), static_cast<int> (scaleNames.size()) },
} };
// clang-format on

//==============================================================================
/** Which pitch classes each scale holds, counted in semitones up from the key, in the
    order of scaleNames.
*/
inline constexpr std::int32_t scaleMasks[5][12] {
    { 1, 0, 1, 0, 1, 1, 0, 1, 0, 1, 0, 1 }, // Major
    { 1, 0, 1, 1, 0, 1, 0, 1, 1, 0, 1, 0 }, // Minor
    { 1, 0, 1, 1, 0, 1, 0, 1, 0, 1, 1, 0 }, // Dorian
    { 1, 0, 1, 0, 1, 1, 0, 1, 0, 1, 0, 0 }, // Mixolydian
    { 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1 }, // Chromatic
};

/** A vocal range: where the detector looks for the sung pitch, and how the tone stage
    weighs the highs and lows of such a voice (bright voices lift the highs).
*/
struct VocalRange
{
    float lowestHz, highestHz;
    float highWeight, lowWeight;
};

/** In the order of rangeNames. */
// clang-format off
inline constexpr std::array<VocalRange, 5> vocalRanges { {
    { 261.6f, 1046.5f, 1.6f, 0.6f },   // Soprano
    { 196.0f,  784.0f, 1.3f, 0.8f },   // Alto
    { 130.8f,  523.3f, 1.0f, 1.0f },   // Tenor
    {  98.0f,  392.0f, 0.9f, 1.3f },   // Baritone
    {  82.4f,  330.0f, 0.7f, 1.6f },   // Bass
} };
// clang-format on

//==============================================================================
/** The editor's ON buttons, by the names the tools use, in MvTarget order (0 is none). */
inline constexpr std::array<const char*, 5> onTargetNames { "none", "range", "voice", "key", "scale" };

//==============================================================================
/** The product gold of titles, knobs, lists, buttons and faders, as ARGB: RGB (212, 175, 55).
    Not the framework's named gold, which only the choice boxes' outline, arrow and
    highlight use.
*/
inline constexpr std::uint32_t productGoldArgb = 0xFFD4AF37;

//==============================================================================
/** A continuous parameter's entry by its ID. Used in a constant expression, an unknown ID
    fails to compile.
*/
constexpr const ContinuousParameter& findContinuous (std::string_view id)
{
    std::size_t i = 0;

    while (i < continuousParameters.size() && id != continuousParameters[i].id)
        ++i;

    return continuousParameters.at (i);
}

/** A choice parameter's entry by its ID, as findContinuous. */
constexpr const ChoiceParameter& findChoice (std::string_view id)
{
    std::size_t i = 0;

    while (i < choiceParameters.size() && id != choiceParameters[i].id)
        ++i;

    return choiceParameters.at (i);
}

} // namespace halvora
