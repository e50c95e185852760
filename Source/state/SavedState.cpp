#include "SavedState.h"
#include "HalvoraVocabulary.h"
#include "NumberText.h"
#include "StateFraming.h"
#include "dsp/Clamp.h"

#include <cmath>
#include <cstring>

namespace halvora::SavedState
{

namespace
{
    juce::RangedAudioParameter* findParameter (const juce::Array<juce::AudioProcessorParameter*>& params, const juce::String& id)
    {
        for (auto* p : params)
            if (auto* ranged = dynamic_cast<juce::RangedAudioParameter*> (p))
                if (ranged->getParameterID() == id)
                    return ranged;

        return nullptr;
    }

    juce::ValueTree makeParameterChild (const juce::String& id, double value)
    {
        juce::ValueTree child ("PARAM");
        child.setProperty ("id", id, nullptr);
        child.setProperty ("value", value, nullptr);
        return child;
    }

    /** A stored value as the parameter takes it. A value beyond what a float holds (1e308,
        infinity) would become infinite on its way in, and NaN would stay NaN, so it is
        clamped here, in double precision.
    */
    double restoredValue (const juce::RangedAudioParameter& param, const std::optional<std::string>& text)
    {
        if (! text)
            return static_cast<double> (param.convertFrom0to1 (param.getDefaultValue()));

        // Our own reader: the framework's overflows on a long exponent.
        auto value = NumberText::readDouble (juce::String::fromUTF8 (text->data(), static_cast<int> (text->size())));

        if (std::isnan (value))
            value = 0.0;

        const auto& range = param.getNormalisableRange();
        return clampBetween (static_cast<double> (range.start), static_cast<double> (range.end), value);
    }
} // namespace

std::optional<StateDocument> readStateBlock (const void* data, int sizeInBytes)
{
    if (sizeInBytes <= 0)
        return std::nullopt;

    const auto text = StateFraming::unframe (data, static_cast<size_t> (sizeInBytes));
    StateDocument document;

    if (! text || readStateText (text->data(), text->size(), document) != nullptr)
        return std::nullopt;

    return document;
}

juce::ValueTree makeRestoredState (const StateDocument& document, const juce::Array<juce::AudioProcessorParameter*>& params)
{
    juce::ValueTree state { juce::Identifier (juce::String::fromUTF8 (document.rootName.data(), static_cast<int> (document.rootName.size()))) };

    for (const auto& entry : document.entries)
    {
        const juce::String id (parameterIDs[entry.parameterIndex]);

        if (auto* param = findParameter (params, id))
            state.appendChild (makeParameterChild (id, restoredValue (*param, entry.value)), nullptr);
    }

    // A parameter the state leaves out (an older or hand-written preset) keeps its value:
    // the value-tree state would give it a fresh child without a value and so reset it to
    // its default, so it gets a child holding its current value instead.
    juce::StringArray missing;

    for (auto* p : params)
        if (auto* ranged = dynamic_cast<juce::RangedAudioParameter*> (p))
            if (! state.getChildWithProperty ("id", ranged->getParameterID()).isValid())
                missing.add (ranged->getParameterID());

    missing.sort (false);

    for (const auto& id : missing)
    {
        auto* ranged = findParameter (params, id);
        state.appendChild (makeParameterChild (id, static_cast<double> (ranged->convertFrom0to1 (ranged->getValue()))), nullptr);
    }

    return state;
}

} // namespace halvora::SavedState
