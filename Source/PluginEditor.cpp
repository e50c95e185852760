#include "PluginEditor.h"

//==============================================================================
HalvoraAudioProcessorEditor::HalvoraAudioProcessorEditor (HalvoraAudioProcessor& p)
    : AudioProcessorEditor (&p), processorRef (p)
{
    setResizable (false, false);
    setSize (1200, 600);
}

HalvoraAudioProcessorEditor::~HalvoraAudioProcessorEditor() = default;

void HalvoraAudioProcessorEditor::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colours::black);
}

void HalvoraAudioProcessorEditor::resized()
{
}
