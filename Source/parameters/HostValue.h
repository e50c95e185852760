#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

/** The one rule by which a value from outside becomes the value a parameter holds, for
    every door: the LV2 control ports, the Audio Unit calls, the VST3 (through the parameter
    objects), the CLAP events and halvora-render's -p.

    - NaN names no value and gives the parameter's default.
    - Out of range (the infinities and 1e30 too) clamps to the nearer end.
    - A choice's index rounds to the nearest entry, a half to the even one, as the
      framework's choice lists (and so every saved state and VST3 host) always have: 2.7
      on "key" is "D#", 2.5 is "D", 3.5 is "E".
    - A continuous value lands on the parameter's step, as the parameter itself snaps it.

    Each function gives the normalised value to hand the parameter (setValue,
    setValueNotifyingHost); heldValue says what it then holds. A saved state's "value" text
    keeps its own reading (text that is no number reads as 0), then meets the same
    clamping and rounding.
*/
namespace halvora::HostValue
{
/** For a host's normalised value (0 to 1 across the range; a choice's entries evenly). */
float fromNormalised (const juce::RangedAudioParameter&, float normalised) noexcept;

/** For a host's plain value: in the parameter's own units, a choice's index for a choice. */
float fromPlain (const juce::RangedAudioParameter&, double plain) noexcept;

/** The plain value the parameter holds once handed this normalised value: what the voice
    chain reads and a saved state writes.
*/
float heldValue (const juce::RangedAudioParameter&, float normalised) noexcept;

/** True for a parameter whose values are the entries of a list. */
bool isChoice (const juce::RangedAudioParameter&) noexcept;
} // namespace halvora::HostValue
