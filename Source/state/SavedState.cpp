#include "SavedState.h"
#include "NumberText.h"
#include "XmlTextCheck.h"
#include "dsp/Clamp.h"

#include <cmath>

namespace SavedState
{

namespace
{
    juce::RangedAudioParameter* findParameter (const juce::Array<juce::AudioProcessorParameter*>& params, const juce::var& id)
    {
        for (auto* p : params)
            if (auto* ranged = dynamic_cast<juce::RangedAudioParameter*> (p))
                if (ranged->getParameterID() == id.toString())
                    return ranged;

        return nullptr;
    }
} // namespace

bool stateTextIsSafe (const void* data, int sizeInBytes)
{
    if (data == nullptr || sizeInBytes <= 8)
        return true; // the framing check refuses it anyway

    // The framing is read as getXmlFromBinary reads it.
    const auto* bytes = static_cast<const juce::uint8*> (data);
    const auto length = static_cast<int> (juce::ByteOrder::littleEndianInt (bytes + 4));

    if (juce::ByteOrder::littleEndianInt (bytes) != binaryXmlMagic || length <= 0)
        return true;

    const auto textSize = juce::jmin (sizeInBytes - 8, length);
    return isSafeXmlText (reinterpret_cast<const char*> (bytes + 8), static_cast<size_t> (textSize));
}

void sanitiseRestoredState (juce::ValueTree& state, const juce::Array<juce::AudioProcessorParameter*>& params)
{
    // A value beyond what a float holds (1e308, infinity) would become infinite on its way
    // in, and NaN would stay NaN, so values are clamped here, in double precision.
    for (auto child : state)
    {
        auto* param = findParameter (params, child.getProperty ("id"));

        if (param == nullptr || ! child.hasProperty ("value"))
            continue;

        // Read as text by our own reader: the framework's overflows on a long exponent.
        const auto& stored = child.getProperty ("value");
        auto value = stored.isString() ? NumberText::readDouble (stored.toString()) : static_cast<double> (stored);
        const auto& range = param->getNormalisableRange();

        if (std::isnan (value))
            value = 0.0;

        const auto clamped = halvora::clampBetween (static_cast<double> (range.start), static_cast<double> (range.end), value);

        if (clamped != value || ! child.getProperty ("value").isDouble())
            child.setProperty ("value", clamped, nullptr);
    }

    // A parameter the state leaves out (an older or hand-written preset) must keep its
    // value; the value-tree state would give it a fresh child without a value and so reset
    // it to its default, so it gets a child holding its current value instead.
    juce::StringArray missing;

    for (auto* p : params)
        if (auto* ranged = dynamic_cast<juce::RangedAudioParameter*> (p))
            if (! state.getChildWithProperty ("id", ranged->getParameterID()).isValid())
                missing.add (ranged->getParameterID());

    missing.sort (false);

    for (const auto& id : missing)
    {
        auto* ranged = findParameter (params, id);
        juce::ValueTree child ("PARAM");
        child.setProperty ("id", id, nullptr);
        child.setProperty ("value", static_cast<double> (ranged->convertFrom0to1 (ranged->getValue())), nullptr);
        state.appendChild (child, nullptr);
    }
}

} // namespace SavedState
