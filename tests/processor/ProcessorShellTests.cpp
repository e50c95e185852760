#include "helpers/TestHelpers.h"
#include "HalvoraVocabulary.h"

#include <gtest/gtest.h>

using Layout = juce::AudioProcessor::BusesLayout;
using Set = juce::AudioChannelSet;

TEST (ProcessorShell, CapabilityAnswers)
{
    std::unique_ptr<juce::AudioProcessor> processor (createPluginFilter());
    ASSERT_NE (dynamic_cast<HalvoraAudioProcessor*> (processor.get()), nullptr);

    EXPECT_EQ (processor->getName(), "Halvora");
    EXPECT_EQ (processor->getNumPrograms(), 1);
    EXPECT_EQ (processor->getCurrentProgram(), 0);
    EXPECT_EQ (processor->getProgramName (0), "");
    EXPECT_EQ (processor->getProgramName (7), "");
    EXPECT_FALSE (processor->acceptsMidi());
    EXPECT_FALSE (processor->producesMidi());
    EXPECT_FALSE (processor->isMidiEffect());
    EXPECT_EQ (processor->getTailLengthSeconds(), 0.0);
    EXPECT_EQ (processor->getLatencySamples(), 0);
    EXPECT_FALSE (processor->supportsDoublePrecisionProcessing());
    EXPECT_TRUE (processor->hasEditor());

    processor->setCurrentProgram (5);
    processor->changeProgramName (0, "x");
    EXPECT_EQ (processor->getCurrentProgram(), 0);
    EXPECT_EQ (processor->getProgramName (0), "");
}

TEST (ProcessorShell, StartsStereoInStereoOut)
{
    HalvoraAudioProcessor processor;
    EXPECT_EQ (processor.getBusCount (true), 1);
    EXPECT_EQ (processor.getBusCount (false), 1);
    EXPECT_EQ (processor.getBus (true, 0)->getName(), "Input");
    EXPECT_EQ (processor.getBus (false, 0)->getName(), "Output");
    EXPECT_EQ (processor.getMainBusNumInputChannels(), 2);
    EXPECT_EQ (processor.getMainBusNumOutputChannels(), 2);
    EXPECT_FALSE (processor.canAddBus (true));
    EXPECT_FALSE (processor.canRemoveBus (false));
}

struct LayoutCase
{
    const char* name;
    Set in, out;
    bool accepted;
};

class BusLayouts : public testing::TestWithParam<LayoutCase>
{
};

TEST_P (BusLayouts, OnlyEqualMonoOrStereo)
{
    HalvoraAudioProcessor processor;
    const auto& c = GetParam();
    Layout layout;
    layout.inputBuses.add (c.in);
    layout.outputBuses.add (c.out);
    EXPECT_EQ (processor.checkBusesLayoutSupported (layout), c.accepted) << c.name;
}

const LayoutCase layoutCases[] {
    { "mono/mono", Set::mono(), Set::mono(), true },
    { "stereo/stereo", Set::stereo(), Set::stereo(), true },
    { "mono/stereo", Set::mono(), Set::stereo(), false },
    { "stereo/mono", Set::stereo(), Set::mono(), false },
    { "disabled/stereo", Set::disabled(), Set::stereo(), false },
    { "disabled/disabled", Set::disabled(), Set::disabled(), false },
    { "5.1/5.1", Set::create5point1(), Set::create5point1(), false },
    { "quad/quad", Set::quadraphonic(), Set::quadraphonic(), false },
};

INSTANTIATE_TEST_SUITE_P (Table, BusLayouts, testing::ValuesIn (layoutCases));

TEST (ProcessorShell, RefusedLayoutLeavesTheCurrentOne)
{
    HalvoraAudioProcessor processor;
    Layout surround;
    surround.inputBuses.add (Set::create5point1());
    surround.outputBuses.add (Set::create5point1());
    EXPECT_FALSE (processor.setBusesLayout (surround));
    EXPECT_EQ (processor.getMainBusNumOutputChannels(), 2);

    Layout mono;
    mono.inputBuses.add (Set::mono());
    mono.outputBuses.add (Set::mono());
    EXPECT_TRUE (processor.setBusesLayout (mono));
    EXPECT_EQ (processor.getMainBusNumOutputChannels(), 1);
}

TEST (ProcessorShell, RawValueHandlesReadTheDefaults)
{
    HalvoraAudioProcessor processor;
    const std::pair<const char*, float> defaults[] {
        { halvora::ParamID::formant, 0.0f },
        { halvora::ParamID::gain, 0.0f },
        { halvora::ParamID::vibRate, 5.0f },
        { halvora::ParamID::vibDepth, 0.0f },
        { halvora::ParamID::delayMix, 0.0f },
        { halvora::ParamID::reverbMix, 0.0f },
        { halvora::ParamID::morvel, 0.5f },
        { halvora::ParamID::range, 0.0f },
        { halvora::ParamID::voice, 0.0f },
        { halvora::ParamID::key, 0.0f },
        { halvora::ParamID::scale, 0.0f },
    };

    for (const auto& [id, value] : defaults)
    {
        auto* raw = processor.apvts.getRawParameterValue (id);
        ASSERT_NE (raw, nullptr) << id;
        EXPECT_EQ (raw->load(), value) << id;
    }
}

TEST (ProcessorShell, MvTargetStartsAtNoneAndStoresWhatItIsGiven)
{
    HalvoraAudioProcessor processor;
    EXPECT_EQ (processor.getActiveMvTarget(), HalvoraAudioProcessor::MvTarget::none);

    processor.setActiveMvTarget (HalvoraAudioProcessor::MvTarget::keyButton);
    EXPECT_EQ (static_cast<int> (processor.getActiveMvTarget()), 3);

    // The editor window coming and going does not touch it.
    delete processor.createEditor();
    EXPECT_EQ (static_cast<int> (processor.getActiveMvTarget()), 3);
}

TEST (ProcessorShell, EditorIsAFixed1200By600Window)
{
    HalvoraAudioProcessor processor;
    std::unique_ptr<juce::AudioProcessorEditor> editor (processor.createEditor());
    ASSERT_NE (editor, nullptr);
    EXPECT_EQ (editor->getWidth(), 1200);
    EXPECT_EQ (editor->getHeight(), 600);
    EXPECT_FALSE (editor->isResizable());
}

TEST (ProcessorShell, PrepareSizesTheProcessingState)
{
    HalvoraAudioProcessor processor;
    HalvoraProcessorInspector state (processor);

    EXPECT_EQ (state.currentSampleRate(), 44100.0);
    EXPECT_EQ (state.analysisBuffer().getNumChannels(), 0);
    EXPECT_EQ (state.echoBuffer().getNumSamples(), 0);
    EXPECT_EQ (state.reverbParams().roomSize, 0.5f);

    processor.prepareToPlay (48000.0, 512);

    EXPECT_EQ (state.currentSampleRate(), 48000.0);
    EXPECT_EQ (state.analysisBuffer().getNumChannels(), 2);
    EXPECT_EQ (state.analysisBuffer().getNumSamples(), 1024);
    EXPECT_EQ (state.echoBuffer().getNumChannels(), 2);
    EXPECT_EQ (state.echoBuffer().getNumSamples(), 48000);
    EXPECT_EQ (state.echoWritePos(), 0);
    EXPECT_EQ (state.toneState(), std::vector<float> (2, 0.0f));
    EXPECT_EQ (state.lastDetectedHz(), 0.0f);
    EXPECT_EQ (state.smoothedHz(), 0.0f);

    const auto& rp = state.reverbParams();
    EXPECT_EQ (rp.roomSize, 0.6f);
    EXPECT_EQ (rp.damping, 0.4f);
    EXPECT_EQ (rp.wetLevel, 1.0f);
    EXPECT_EQ (rp.dryLevel, 1.0f);
    EXPECT_EQ (rp.width, 1.0f);
    EXPECT_EQ (rp.freezeMode, 0.0f);

    processor.releaseResources();
    EXPECT_EQ (state.echoBuffer().getNumSamples(), 48000);
}
