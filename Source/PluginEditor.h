#pragma once

#include "PluginProcessor.h"

//==============================================================================
/** The plug-in window: a fixed 1200 x 600 panel. */
class HalvoraAudioProcessorEditor final : public juce::AudioProcessorEditor
{
public:
    explicit HalvoraAudioProcessorEditor (HalvoraAudioProcessor&);
    ~HalvoraAudioProcessorEditor() override;

    void paint (juce::Graphics&) override;
    void resized() override;

private:
    HalvoraAudioProcessor& processorRef;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (HalvoraAudioProcessorEditor)
};
