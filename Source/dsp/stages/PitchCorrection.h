#pragma once

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
    /** What one block's correction did. */
    struct Result
    {
        float targetHz = 0.0f; // the snapped note, 0 when it fell below 1 Hz
        float ratio = 1.0f;    // the replay speed applied to the block
    };

    /** Sizes the working copy so that blocks of up to maxBlockSize samples allocate nothing. */
    void prepare (int maxBlockSize);

    /** Nothing carries over from one block to the next. */
    void reset() noexcept {}

    /** Moves every channel of the block from smoothedHz (above 0) towards its snapped note,
        by correctionStrength (0 to 1) of the way. Grows the working copy only for a block
        larger than prepared for.
    */
    Result process (juce::AudioBuffer<float>&, float smoothedHz, int keyIndex, int scaleIndex, float correctionStrength);

    /** Moves a fractional note number by the fewest whole semitones that put its rounded
        pitch class into the scale; ties go to the note below.
    */
    static float snapMidiToScale (float midiNote, int key, int scale) noexcept;

private:
    std::vector<float> shiftScratch;
};

} // namespace halvora
