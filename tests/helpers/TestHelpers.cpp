#include "TestHelpers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace testutil
{

juce::RangedAudioParameter& param (juce::AudioProcessor& processor, const juce::String& id)
{
    for (auto* p : processor.getParameters())
        if (auto* ranged = dynamic_cast<juce::RangedAudioParameter*> (p))
            if (ranged->getParameterID() == id)
                return *ranged;

    throw std::runtime_error ("no parameter " + id.toStdString());
}

void setPlain (juce::AudioProcessor& processor, const juce::String& id, float plain)
{
    auto& p = param (processor, id);
    p.setValueNotifyingHost (p.convertTo0to1 (plain));
}

float getPlain (juce::AudioProcessor& processor, const juce::String& id)
{
    auto& p = param (processor, id);
    return p.convertFrom0to1 (p.getValue());
}

//==============================================================================
TempFolder::TempFolder()
{
    // A name no other test process running at the same time can pick.
    const auto temp = juce::File::getSpecialLocation (juce::File::tempDirectory);

    do
        folder = temp.getChildFile ("halvora-test-" + juce::String::toHexString (juce::Random::getSystemRandom().nextInt64()));
    while (folder.exists());

    folder.createDirectory();
}

TempFolder::~TempFolder()
{
    folder.deleteRecursively();
}

void writeWav (const juce::File& file, const juce::AudioBuffer<float>& buffer, double sampleRate, int bits)
{
    file.deleteFile();
    auto stream = file.createOutputStream();
    std::unique_ptr<juce::AudioFormatWriter> writer (juce::WavAudioFormat().createWriterFor (
        stream.get(), sampleRate, static_cast<unsigned int> (buffer.getNumChannels()), bits, {}, 0));
    if (writer == nullptr)
        throw std::runtime_error ("cannot write test file");
    stream.release();
    writer->writeFromAudioSampleBuffer (buffer, 0, buffer.getNumSamples());
}

juce::AudioBuffer<float> readAudio (const juce::File& file, double* sampleRate)
{
    juce::AudioFormatManager formats;
    formats.registerBasicFormats();
    std::unique_ptr<juce::AudioFormatReader> reader (formats.createReaderFor (file));
    if (reader == nullptr)
        throw std::runtime_error ("cannot read " + file.getFullPathName().toStdString());

    juce::AudioBuffer<float> buffer (static_cast<int> (reader->numChannels), static_cast<int> (reader->lengthInSamples));
    reader->read (&buffer, 0, buffer.getNumSamples(), 0, true, true);

    if (sampleRate != nullptr)
        *sampleRate = reader->sampleRate;

    return buffer;
}

CommandResult runRender (const juce::StringArray& args)
{
    juce::StringArray command;
    command.add (HALVORA_RENDER_PATH);
    command.addArray (args);

    juce::ChildProcess process;
    CommandResult result;

    if (! process.start (command, juce::ChildProcess::wantStdOut | juce::ChildProcess::wantStdErr))
        return result;

    result.output = process.readAllProcessOutput();
    process.waitForProcessToFinish (120000);
    result.exitCode = static_cast<int> (process.getExitCode());
    return result;
}

juce::AudioBuffer<float> renderThroughRenderer (const juce::AudioBuffer<float>& input, double sampleRate,
                                                const juce::StringArray& options)
{
    TempFolder folder;
    const auto in = folder.file ("in.wav");
    const auto out = folder.file ("out.wav");
    writeWav (in, input, sampleRate);

    auto args = options;
    args.addArray ({ in.getFullPathName(), out.getFullPathName() });
    const auto result = runRender (args);
    EXPECT_EQ (result.exitCode, 0) << result.output;
    return readAudio (out);
}

int firstDifference (const juce::AudioBuffer<float>& a, const juce::AudioBuffer<float>& b)
{
    if (a.getNumChannels() != b.getNumChannels() || a.getNumSamples() != b.getNumSamples())
        return 0;

    for (int i = 0; i < a.getNumSamples(); ++i)
        for (int ch = 0; ch < a.getNumChannels(); ++ch)
            if (std::memcmp (a.getReadPointer (ch, i), b.getReadPointer (ch, i), sizeof (float)) != 0)
                return i;

    return -1;
}

} // namespace testutil
