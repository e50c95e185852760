#pragma once

#include "VoiceStage.h"

#include <juce_audio_basics/juce_audio_basics.h>

#include <vector>

namespace halvora
{

//==============================================================================
/** The second stage of the voice chain: snaps the followed pitch to the nearest note of
    the chosen key and scale, and replays the block faster or slower to move the voice
    part of the way there.
*/
class PitchCorrection final
{
public:
    /** One block's settings, as the parameter snapshot gives them. */
    struct Settings
    {
        int keyIndex = 0;
        int scaleIndex = 0;
        float correctionStrength = 0.0f; // how much of the way to the note, 0 to 1
    };

    /** What one block's correction did. */
    struct Result
    {
        float targetHz = 0.0f; // the snapped note, 0 when it fell below 1 Hz or nothing ran
        float ratio = 1.0f;    // the replay speed applied to the block
    };

    /** Sizes the working copy so that blocks of up to the StageSetup's maximum allocate nothing. */
    void prepare (const StageSetup&);

    /** Nothing carries over from one block to the next. */
    void reset() noexcept {}

    /** Moves every channel of the block from smoothedHz towards its snapped note, by the
        correction strength of the way. Without a followed pitch (smoothedHz not above 0)
        or without strength the block passes unchanged. Grows the working copy only for
        a block larger than prepared for.
    */
    Result process (juce::AudioBuffer<float>&, float smoothedHz, const Settings&);

    /** Moves a fractional note number by the fewest whole semitones that put its rounded
        pitch class into the scale; ties go to the note below.
    */
    static float snapMidiToScale (float midiNote, int key, int scale) noexcept;

private:
    std::vector<float> shiftScratch;

    friend struct StageAccess;
};

static_assert (hasStageShape<PitchCorrection, juce::AudioBuffer<float>&, float>);

} // namespace halvora
