// Times processBlock the way a host drives it: 44100 Hz stereo, one block after another
// over a sung phrase. Reports samples per second and the real-time factor (audio
// seconds processed per CPU second).

#include "DemoVocal.h"
#include "HalvoraVocabulary.h"
#include "dsp/kernels/BlockResampler.h"
#include "dsp/stages/EchoStage.h"
#include "dsp/kernels/PitchDetector.h"
#include "dsp/stages/ToneStage.h"
#include "dsp/kernels/VectorMath.h"
#include "dsp/stages/ReverbBlend.h"
#include "dsp/kernels/VoiceReverb.h"
#include "PluginProcessor.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <iterator>
#include <string>

namespace
{

enum class Setting
{
    defaults,
    correction,
    echoAndReverb,
    everythingAtBass
};

void configure (HalvoraAudioProcessor& p, Setting setting)
{
    const auto set = [&p] (const char* id, float plain) {
        auto* param = p.apvts.getParameter (id);
        param->setValueNotifyingHost (param->convertTo0to1 (plain));
    };

    if (setting == Setting::correction || setting == Setting::everythingAtBass)
    {
        set (halvora::ParamID::morvel, 1.0f);
        p.setActiveMvTarget (HalvoraAudioProcessor::MvTarget::keyButton);
    }

    if (setting == Setting::echoAndReverb || setting == Setting::everythingAtBass)
    {
        set (halvora::ParamID::delayMix, 50.0f);
        set (halvora::ParamID::reverbMix, 50.0f);
    }

    if (setting == Setting::everythingAtBass)
    {
        set (halvora::ParamID::range, 4.0f);
        set (halvora::ParamID::formant, -0.5f);
        set (halvora::ParamID::vibDepth, 30.0f);
    }
}

const juce::AudioBuffer<float>& sungPhrase()
{
    static const auto phrase = [] {
        const auto mono = halvora::DemoVocal::generate();
        juce::AudioBuffer<float> stereo (2, mono.getNumSamples());
        stereo.copyFrom (0, 0, mono, 0, 0, mono.getNumSamples());
        stereo.copyFrom (1, 0, mono, 0, 0, mono.getNumSamples());
        stereo.applyGain (1, 0, mono.getNumSamples(), 0.8f);
        return stereo;
    }();
    return phrase;
}

/** The phrase's next block.getNumSamples() samples into `block`, from the start again
    when they run out.
*/
void copyNextBlock (juce::AudioBuffer<float>& block, int& position)
{
    const auto& phrase = sungPhrase();
    const auto blockSize = block.getNumSamples();

    if (position + blockSize > phrase.getNumSamples())
        position = 0;

    block.copyFrom (0, 0, phrase, 0, position, blockSize);
    block.copyFrom (1, 0, phrase, 1, position, blockSize);
    position += blockSize;
}

void processBlockBench (benchmark::State& state)
{
    const auto setting = static_cast<Setting> (state.range (0));
    const auto blockSize = static_cast<int> (state.range (1));
    sungPhrase(); // made before the clock starts

    HalvoraAudioProcessor processor;
    processor.prepareToPlay (44100.0, blockSize);
    configure (processor, setting);

    juce::AudioBuffer<float> block (2, blockSize);
    juce::MidiBuffer midi;
    int position = 0;

    for (auto _ : state)
    {
        // The copy costs a few hundred nanoseconds at most: noise beside the chain.
        copyNextBlock (block, position);
        processor.processBlock (block, midi);
        benchmark::DoNotOptimize (block.getReadPointer (0));
    }

    const auto samples = static_cast<double> (state.iterations()) * blockSize;
    state.SetItemsProcessed (static_cast<int64_t> (samples));
    state.counters["realtime_x"] = benchmark::Counter (samples / 44100.0, benchmark::Counter::kIsRate);
}

BENCHMARK (processBlockBench)
    ->ArgNames ({ "setting", "block" })
    ->ArgsProduct ({ { 0, 1, 2, 3 }, { 64, 512, 2048 } })
    ->Unit (benchmark::kMicrosecond);

/** The detector alone, the chain's largest cost: one term is one squared difference.
    Each kernel is timed, all of them giving the same bits; the default one is the
    fastest the processor offers. cycles_per_term is at the nominal clock Google
    Benchmark reports (the time-stamp counter's rate).
*/
void pitchDetectorBench (benchmark::State& state)
{
    const auto range = static_cast<int> (state.range (0));
    const auto blockSize = static_cast<int> (state.range (1));
    const auto kernel = halvora::VectorPaths::all[state.range (2)];
    const auto& phrase = sungPhrase();

    halvora::PitchDetector detector;
    detector.prepare (blockSize);

    if (! detector.useVectorPath (kernel))
    {
        state.SkipWithError ((std::string (halvora::VectorPaths::name (kernel)) + " is not available on this processor").c_str());
        return;
    }

    state.SetLabel (halvora::VectorPaths::name (kernel));

    const auto window = halvora::PitchDetector::lagWindow (blockSize, 44100.0, range);
    double terms = 0.0;
    for (int t = window.minLag; t <= window.maxLag; ++t)
        terms += blockSize - t;

    int position = 0;
    for (auto _ : state)
    {
        if (position + blockSize > phrase.getNumSamples())
            position = 0;

        benchmark::DoNotOptimize (detector.detect (phrase.getReadPointer (0, position), blockSize, 44100.0, range));
        position += blockSize;
    }

    const auto allTerms = terms * static_cast<double> (state.iterations());
    state.counters["terms_per_s"] = benchmark::Counter (allTerms, benchmark::Counter::kIsRate);
    state.counters["cycles_per_term"] = benchmark::Counter (allTerms / benchmark::CPUInfo::Get().cycles_per_second,
                                                            benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

BENCHMARK (pitchDetectorBench)
    ->ArgNames ({ "range", "block", "kernel" })
    ->ArgsProduct ({ { 0, 2, 4 }, { 512, 2048 }, { 0, 1, 2, 3 } })
    ->Unit (benchmark::kMicrosecond);

/** The reverb alone, in the voice chain's room, over the sung phrase: mono (what the
    chain runs) and stereo, 512-sample blocks, in four lanes (sse2) and eight (avx2) where the processor offers them
    (all giving the same bits).
*/
void reverbBench (benchmark::State& state)
{
    const auto channels = static_cast<int> (state.range (0));
    const auto blockSize = static_cast<int> (state.range (1));
    const auto path = halvora::VectorPaths::all[state.range (2)];
    sungPhrase(); // made before the clock starts

    halvora::VoiceReverb reverb;
    reverb.setParameters (halvora::ReverbBlend::voiceRoom());

    if (! reverb.useVectorPath (path))
    {
        state.SkipWithError ((std::string (halvora::VectorPaths::name (path)) + " is not available on this processor").c_str());
        return;
    }

    state.SetLabel (halvora::VoiceReverb::describeLanes (path));

    juce::AudioBuffer<float> block (2, blockSize);
    int position = 0;

    for (auto _ : state)
    {
        copyNextBlock (block, position);

        if (channels == 2)
            reverb.processStereo (block.getWritePointer (0), block.getWritePointer (1), blockSize);
        else
            reverb.processMono (block.getWritePointer (0), blockSize);

        benchmark::DoNotOptimize (block.getReadPointer (0));
    }

    const auto samples = static_cast<double> (state.iterations()) * blockSize;
    state.SetItemsProcessed (static_cast<int64_t> (samples));
    state.counters["realtime_x"] = benchmark::Counter (samples / 44100.0, benchmark::Counter::kIsRate);
}

BENCHMARK (reverbBench)
    ->ArgNames ({ "channels", "block", "lanes" })
    ->ArgsProduct ({ { 1, 2 }, { 512 }, { 1, 2 } })
    ->Unit (benchmark::kMicrosecond);

/** The pitch correction's replay alone: one 512-sample block of the sung phrase replayed
    slower (0.7071) and faster (1.5), on each vector path the processor offers (all giving
    the same bits; scalar is the plain per-sample loop).
*/
void replayBench (benchmark::State& state)
{
    const auto ratio = static_cast<float> (state.range (0)) / 10000.0f;
    const auto path = halvora::VectorPaths::all[state.range (1)];
    constexpr int blockSize = 512;
    sungPhrase(); // made before the clock starts

    if (! halvora::VectorPaths::isAvailable (path))
    {
        state.SkipWithError ((std::string (halvora::VectorPaths::name (path)) + " is not available on this processor").c_str());
        return;
    }

    state.SetLabel (halvora::VectorPaths::name (path));

    juce::AudioBuffer<float> block (2, blockSize);
    int position = 0;

    for (auto _ : state)
    {
        copyNextBlock (block, position);
        halvora::BlockResampler::replay (block.getReadPointer (0), block.getWritePointer (1), blockSize, ratio, path);
        benchmark::DoNotOptimize (block.getReadPointer (1));
    }

    state.SetItemsProcessed (static_cast<int64_t> (state.iterations()) * blockSize);
}

BENCHMARK (replayBench)
    ->ArgNames ({ "ratio", "path" })
    ->ArgsProduct ({ { 7071, 15000 }, { 0, 1, 2, 3 } })
    ->Unit (benchmark::kMicrosecond);

/** The echo stage alone at 44100 Hz, mono and stereo, 512-sample blocks at a 60 % mix. */
void echoBench (benchmark::State& state)
{
    const auto channels = static_cast<int> (state.range (0));
    constexpr int blockSize = 512;
    sungPhrase(); // made before the clock starts

    halvora::EchoStage echo;
    echo.prepare ({ 44100.0, blockSize, channels });
    juce::AudioBuffer<float> block (2, blockSize);
    juce::AudioBuffer<float> view (block.getArrayOfWritePointers(), channels, blockSize);
    int position = 0;

    for (auto _ : state)
    {
        copyNextBlock (block, position);
        echo.process (view, { 60.0f });
        benchmark::DoNotOptimize (block.getReadPointer (0));
    }

    state.SetItemsProcessed (static_cast<int64_t> (state.iterations()) * blockSize * channels);
}

BENCHMARK (echoBench)->ArgNames ({ "channels" })->Arg (1)->Arg (2)->Unit (benchmark::kMicrosecond);

} // namespace

int main (int argc, char** argv)
{
    // The value-tree state wants JUCE's message manager, as in a host.
    juce::ScopedJuceInitialiser_GUI juce;

    benchmark::Initialize (&argc, argv);

    if (benchmark::ReportUnrecognizedArguments (argc, argv))
        return 1;

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

/** The tone stage alone over the sung phrase, 512-sample blocks, mono and stereo:
    colouring 0 is the defaults (no saturation, no vibrato), 1 the chain with everything
    on (saturation at formant -0.5, vibrato depth 30 %).
*/
void toneStageBench (benchmark::State& state)
{
    const auto channels = static_cast<int> (state.range (0));
    const auto everything = state.range (1) != 0;
    constexpr int blockSize = 512;
    sungPhrase(); // made before the clock starts

    halvora::ToneStage stage;
    stage.prepare ({ 44100.0, blockSize, channels });
    const halvora::ToneStage::Settings settings { everything ? -0.5f : 0.0f, everything ? 30.0f : 0.0f, 1.0f, 5.0f, 2 };

    juce::AudioBuffer<float> block (2, blockSize);
    int position = 0;

    for (auto _ : state)
    {
        copyNextBlock (block, position);
        juce::AudioBuffer<float> view (block.getArrayOfWritePointers(), channels, blockSize);
        stage.process (view, settings);
        benchmark::DoNotOptimize (block.getReadPointer (0));
    }

    const auto samples = static_cast<double> (state.iterations()) * blockSize;
    state.SetItemsProcessed (static_cast<int64_t> (samples));
    state.counters["realtime_x"] = benchmark::Counter (samples / 44100.0, benchmark::Counter::kIsRate);
}

BENCHMARK (toneStageBench)->ArgNames ({ "channels", "colouring" })->ArgsProduct ({ { 1, 2 }, { 0, 1 } })->Unit (benchmark::kMicrosecond);

/** The tone stage's tanh and sin over 256 values (one chunk) of what they are asked for:
    tanh over saturation-level samples, sin over vibrato phases. Path 0-3 is each vector
    path (the label names it); path 4 is the C library's function, one call per value,
    for comparison.
*/
void vectorMathBench (benchmark::State& state)
{
    const auto sine = state.range (0) != 0;
    const auto pathIndex = static_cast<size_t> (state.range (1));
    constexpr int count = 256;
    std::array<float, count> in {}, out {};

    for (int i = 0; i < count; ++i)
        in[static_cast<size_t> (i)] = sine ? 6.2831855f * static_cast<float> (i) / count : 5.0f * std::sin (0.05f * static_cast<float> (i));

    if (pathIndex < std::size (halvora::VectorPaths::all))
    {
        const auto path = halvora::VectorPaths::all[pathIndex];

        if (! halvora::VectorPaths::isAvailable (path))
        {
            state.SkipWithError ("not available on this processor");
            return;
        }

        state.SetLabel (std::string (sine ? "sin " : "tanh ") + halvora::VectorPaths::name (path));

        for (auto _ : state)
        {
            if (sine)
                halvora::VectorMath::sin (in.data(), out.data(), count, path);
            else
                halvora::VectorMath::tanh (in.data(), out.data(), count, path);

            benchmark::DoNotOptimize (out.data());
        }
    }
    else
    {
        state.SetLabel (sine ? "sin C library" : "tanh C library");

        for (auto _ : state)
        {
            for (int i = 0; i < count; ++i)
                out[static_cast<size_t> (i)] = sine ? std::sin (in[static_cast<size_t> (i)]) : std::tanh (in[static_cast<size_t> (i)]);

            benchmark::DoNotOptimize (out.data());
        }
    }

    state.SetItemsProcessed (static_cast<int64_t> (state.iterations()) * count);
}

BENCHMARK (vectorMathBench)->ArgNames ({ "sin", "path" })->ArgsProduct ({ { 0, 1 }, { 0, 1, 2, 3, 4 } })->Unit (benchmark::kNanosecond);
