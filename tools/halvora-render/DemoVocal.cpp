#include "DemoVocal.h"

#include <cmath>

namespace halvora
{

namespace
{
    struct SungNote
    {
        double midi; // fractional note number: most sit between semitones
        double seconds;
    };

    // A short phrase around middle C, every note out of tune or out of C major.
    constexpr SungNote phrase[] {
        { 62.35, 0.85 },
        { 63.10, 0.75 },
        { 65.40, 0.95 },
        { 66.20, 0.70 },
        { 68.30, 1.10 },
        { 66.60, 0.80 },
        { 64.55, 0.90 },
        { 63.70, 0.60 },
        { 61.25, 1.35 },
    };

    constexpr double twoPi = 6.283185307179586;

    double midiToHz (double midi) { return 440.0 * std::pow (2.0, (midi - 69.0) / 12.0); }

    // A rough "ah" vowel: the harmonics near the first two formants come out louder.
    double vowelGain (double hz)
    {
        const auto formant = [hz] (double centre, double width, double level) {
            const auto d = (hz - centre) / width;
            return level * std::exp (-d * d);
        };

        return 0.25 + formant (730.0, 160.0, 1.0) + formant (1090.0, 200.0, 0.6) + formant (2440.0, 300.0, 0.25);
    }
}

juce::AudioBuffer<float> DemoVocal::generate()
{
    double totalSeconds = 0.0;
    for (const auto& note : phrase)
        totalSeconds += note.seconds;

    const auto numSamples = static_cast<int> (totalSeconds * sampleRate);
    juce::AudioBuffer<float> buffer (1, numSamples);
    auto* out = buffer.getWritePointer (0);

    const auto glideSeconds = 0.06;
    double phase = 0.0;
    double noteStart = 0.0;
    size_t noteIndex = 0;
    juce::Random breath (20261210);

    for (int i = 0; i < numSamples; ++i)
    {
        const auto t = i / sampleRate;

        while (noteIndex + 1 < std::size (phrase) && t >= noteStart + phrase[noteIndex].seconds)
            noteStart += phrase[noteIndex++].seconds;

        const auto& note = phrase[noteIndex];
        const auto intoNote = t - noteStart;

        // Glide from the previous note, then a slow vibrato of about a quarter semitone.
        auto midi = note.midi;
        if (noteIndex > 0 && intoNote < glideSeconds)
            midi = juce::jmap (intoNote / glideSeconds, phrase[noteIndex - 1].midi, note.midi);

        midi += 0.22 * std::sin (twoPi * 5.2 * t) * juce::jmin (1.0, intoNote / 0.3);

        const auto f0 = midiToHz (midi);
        phase = std::fmod (phase + twoPi * f0 / sampleRate, twoPi);

        double sample = 0.0;
        for (int k = 1; k * f0 < 0.45 * sampleRate && k <= 40; ++k)
            sample += vowelGain (k * f0) / k * std::sin (k * phase);

        // Soft onset and release per note, with a breath between notes.
        const auto attack = juce::jmin (1.0, intoNote / 0.04);
        const auto release = juce::jmin (1.0, (note.seconds - intoNote) / 0.08);
        const auto envelope = juce::jmax (0.0, juce::jmin (attack, release));

        sample = 0.22 * sample * envelope + 0.004 * (breath.nextDouble() * 2.0 - 1.0);
        out[i] = static_cast<float> (sample);
    }

    // Leave headroom for the chain's gain and echo.
    const auto peak = buffer.getMagnitude (0, 0, numSamples);
    if (peak > 0.0f)
        buffer.applyGain (0.5f / peak);

    return buffer;
}

} // namespace halvora
