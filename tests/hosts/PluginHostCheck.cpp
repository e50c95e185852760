// A small plug-in host built on JUCE's own LV2 and VST3 hosting code (not ours): it
// finds the built plug-in, instantiates it, sets parameters by ID through the host's
// parameter interface, saves and restores its state through the format's own mechanism,
// and renders a file block by block. halvora-render with the same settings must give
// the very same samples.
//
// usage: halvora-host-check LV2|VST3 PLUGIN INPUT.wav OUTPUT.wav BLOCK [ID=NORMALISED ...]
//        halvora-host-check --non-finite LV2|VST3 PLUGIN

#include <juce_audio_formats/juce_audio_formats.h>
#include <juce_audio_processors/juce_audio_processors.h>

#include <cmath>
#include <iostream>
#include <limits>

namespace
{
int fail (const juce::String& message)
{
    std::cerr << "halvora-host-check: " << message << "\n";
    return 1;
}

/** LV2 names a parameter by a URI ending in its ID; VST3 by the ID string's hash. */
juce::HostedAudioProcessorParameter* findById (juce::AudioPluginInstance& plugin, const juce::String& id)
{
    const auto vst3Id = juce::String (id.hashCode() & 0x7fffffff);

    for (auto* p : plugin.getParameters())
        if (auto* hosted = dynamic_cast<juce::HostedAudioProcessorParameter*> (p))
            if (hosted->getParameterID().endsWith (":" + id) || hosted->getParameterID() == vst3Id)
                return hosted;

    return nullptr;
}

std::vector<float> values (juce::AudioPluginInstance& plugin)
{
    std::vector<float> result;
    for (auto* p : plugin.getParameters())
        result.push_back (p->getValue());
    return result;
}
}

/** Makes a stereo test file from a mono one: the right channel a little quieter and later. */
int makeStereo (const juce::File& input, const juce::File& output)
{
    std::unique_ptr<juce::AudioFormatReader> reader (juce::WavAudioFormat().createReaderFor (input.createInputStream().release(), true));

    if (reader == nullptr)
        return fail ("cannot read " + input.getFullPathName());

    const auto length = static_cast<int> (reader->lengthInSamples);
    juce::AudioBuffer<float> mono (1, length), stereo (2, length);
    reader->read (&mono, 0, length, 0, true, true);
    stereo.clear();
    stereo.copyFrom (0, 0, mono, 0, 0, length);
    stereo.addFrom (1, 100, mono, 0, 0, length - 100, 0.8f);

    output.deleteFile();
    std::unique_ptr<juce::AudioFormatWriter> writer (juce::WavAudioFormat().createWriterFor (
        output.createOutputStream().release(), reader->sampleRate, 2, 32, {}, 0));
    return writer != nullptr && writer->writeFromAudioSampleBuffer (stereo, 0, length) ? 0 : fail ("cannot write " + output.getFullPathName());
}

/** Every parameter the host sees set to NaN, the infinities, values far outside 0 to 1 and
    a denormal through the host's parameter interface, with blocks rendered after each and
    again after a valid value: every output sample must be finite.
*/
int checkNonFiniteValues (juce::AudioPluginFormatManager& formats, const juce::PluginDescription& description)
{
    constexpr double rate = 44100.0;
    constexpr int blockSize = 256;
    juce::String error;
    auto plugin = formats.createPluginInstance (description, rate, blockSize, error);

    if (plugin == nullptr)
        return fail ("cannot instantiate: " + error);

    plugin->prepareToPlay (rate, blockSize);

    // Vibrato, echo and reverb on, so that a bad value lodged in any of them would show.
    for (const auto* id : { "vibDepth", "delayMix", "reverbMix", "formant" })
        if (auto* param = findById (*plugin, id))
            param->setValueNotifyingHost (0.6f);

    juce::AudioBuffer<float> buffer (plugin->getTotalNumOutputChannels(), blockSize);
    juce::MidiBuffer midi;
    juce::Random random (7);
    const float hostile[] { std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                            -std::numeric_limits<float>::infinity(), 1.0e30f, -1.0e30f, std::numeric_limits<float>::denorm_min() };

    // Parameter changes travel with the audio, so a few blocks follow each one.
    const auto renderIsFinite = [&] {
        for (int b = 0; b < 4; ++b)
        {
            for (int c = 0; c < buffer.getNumChannels(); ++c)
                for (int i = 0; i < blockSize; ++i)
                    buffer.setSample (c, i, 0.5f * std::sin (0.05f * static_cast<float> (i + b * blockSize)) + 0.01f * random.nextFloat());

            plugin->processBlock (buffer, midi);

            for (int c = 0; c < buffer.getNumChannels(); ++c)
                for (int i = 0; i < blockSize; ++i)
                    if (! std::isfinite (buffer.getSample (c, i)))
                        return false;
        }

        return true;
    };

    int checked = 0;

    for (auto* param : plugin->getParameters())
    {
        const auto valid = param->getValue();

        for (auto value : hostile)
        {
            param->setValueNotifyingHost (value);

            if (! renderIsFinite())
                return fail ("a non-finite sample with " + param->getName (64) + " set to " + juce::String (value));

            param->setValueNotifyingHost (valid);

            if (! renderIsFinite())
                return fail ("a non-finite sample with " + param->getName (64) + " back at " + juce::String (valid)
                             + " after " + juce::String (value));
        }

        ++checked;
    }

    plugin->releaseResources();
    std::cout << checked << " parameters through NaN, infinities, out-of-range values and a denormal: every sample finite\n";
    return checked >= 11 ? 0 : fail ("only " + juce::String (checked) + " parameters");
}

int main (int argc, char* argv[])
{
    juce::ScopedJuceInitialiser_GUI juce;

    if (argc == 4 && juce::String (argv[1]) == "--make-stereo")
        return makeStereo (juce::File::getCurrentWorkingDirectory().getChildFile (argv[2]),
                           juce::File::getCurrentWorkingDirectory().getChildFile (argv[3]));

    const auto nonFinite = argc == 4 && juce::String (argv[1]) == "--non-finite";

    if (! nonFinite && argc < 6)
        return fail ("usage: halvora-host-check LV2|VST3 PLUGIN INPUT.wav OUTPUT.wav BLOCK [ID=NORMALISED ...]");

    const auto firstArgument = nonFinite ? 2 : 1;
    const juce::String formatName (argv[firstArgument]), pluginPath (argv[firstArgument + 1]);
    juce::AudioPluginFormatManager formats;

    if (formatName == "LV2")
        formats.addFormat (new juce::LV2PluginFormat());
    else if (formatName == "VST3")
        formats.addFormat (new juce::VST3PluginFormat());
    else
        return fail ("unknown format " + formatName);

    auto* format = formats.getFormat (0);
    juce::OwnedArray<juce::PluginDescription> found;
    format->findAllTypesForFile (found, pluginPath);

    if (found.isEmpty())
        return fail (formatName + " found no plug-in in " + pluginPath);

    if (nonFinite)
        return checkNonFiniteValues (formats, *found[0]);

    const juce::File input (juce::File::getCurrentWorkingDirectory().getChildFile (argv[3]));
    const juce::File output (juce::File::getCurrentWorkingDirectory().getChildFile (argv[4]));
    const auto blockSize = juce::String (argv[5]).getIntValue();

    std::unique_ptr<juce::AudioFormatReader> reader (juce::WavAudioFormat().createReaderFor (input.createInputStream().release(), true));

    if (reader == nullptr)
        return fail ("cannot read " + input.getFullPathName());

    const auto channels = static_cast<int> (reader->numChannels);
    const auto rate = reader->sampleRate;
    juce::String error;
    auto plugin = formats.createPluginInstance (*found[0], rate, blockSize, error);

    if (plugin == nullptr)
        return fail ("cannot instantiate: " + error);

    std::cout << "loaded " << plugin->getName() << " (" << formatName << "), " << plugin->getParameters().size() << " parameters\n";

    const auto set = channels == 1 ? juce::AudioChannelSet::mono() : juce::AudioChannelSet::stereo();
    juce::AudioProcessor::BusesLayout layout;
    layout.inputBuses.add (set);
    layout.outputBuses.add (set);

    if (! plugin->setBusesLayout (layout))
        return fail ("the plug-in refused " + juce::String (channels) + " channels");

    // Parameter changes and the plug-in's answers travel with the audio (an LV2 host
    // exchanges them in run()), so each step below runs one silent block.
    juce::AudioBuffer<float> silence (channels, blockSize);
    juce::MidiBuffer midi;
    const auto runSilentBlock = [&] (juce::AudioPluginInstance& p) {
        silence.clear();
        p.processBlock (silence, midi);
    };

    plugin->prepareToPlay (rate, blockSize);

    // Parameters by ID, as a host's automation would set them.
    for (int i = 6; i < argc; ++i)
    {
        const juce::String setting (argv[i]);
        auto* param = findById (*plugin, setting.upToFirstOccurrenceOf ("=", false, false));

        if (param == nullptr)
            return fail ("no parameter " + setting);

        param->setValueNotifyingHost (setting.fromFirstOccurrenceOf ("=", false, false).getFloatValue());
    }

    runSilentBlock (*plugin);

    // Save through the format's own mechanism, restore into a fresh instance: every value
    // must come back.
    juce::MemoryBlock state;
    plugin->getStateInformation (state);
    const auto expected = values (*plugin);
    plugin->releaseResources();

    plugin = formats.createPluginInstance (*found[0], rate, blockSize, error);

    if (plugin == nullptr || ! plugin->setBusesLayout (layout))
        return fail ("cannot instantiate a second time: " + error);

    plugin->prepareToPlay (rate, blockSize);
    plugin->setStateInformation (state.getData(), static_cast<int> (state.getSize()));
    runSilentBlock (*plugin);

    const auto restored = values (*plugin);

    for (size_t i = 0; i < expected.size(); ++i)
        if (std::abs (restored[i] - expected[i]) > 1.0e-6f)
            return fail ("restoring the saved state did not bring parameter " + juce::String (static_cast<int> (i)) + " back ("
                         + juce::String (restored[i]) + " instead of " + juce::String (expected[i]) + ")");

    // The render runs on a third, fresh instance that gets the state before its first
    // block, as a host reloading a project does: nothing has run in it before.
    plugin->releaseResources();
    plugin = formats.createPluginInstance (*found[0], rate, blockSize, error);

    if (plugin == nullptr || ! plugin->setBusesLayout (layout))
        return fail ("cannot instantiate a third time: " + error);

    plugin->prepareToPlay (rate, blockSize);
    plugin->setStateInformation (state.getData(), static_cast<int> (state.getSize()));
    output.deleteFile();
    std::unique_ptr<juce::AudioFormatWriter> writer (juce::WavAudioFormat().createWriterFor (
        output.createOutputStream().release(), rate, static_cast<unsigned int> (channels), 32, {}, 0));

    if (writer == nullptr)
        return fail ("cannot write " + output.getFullPathName());

    juce::AudioBuffer<float> buffer (channels, blockSize);

    for (juce::int64 position = 0; position < reader->lengthInSamples; position += blockSize)
    {
        const auto n = static_cast<int> (juce::jmin<juce::int64> (blockSize, reader->lengthInSamples - position));
        buffer.setSize (channels, n, false, false, true);
        reader->read (&buffer, 0, n, position, true, true);
        plugin->processBlock (buffer, midi);
        writer->writeFromAudioSampleBuffer (buffer, 0, n);
    }

    plugin->releaseResources();
    std::cout << "rendered " << reader->lengthInSamples << " samples in blocks of " << blockSize << "\n";
    return 0;
}
