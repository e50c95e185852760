#include "ProcessorSettings.h"
#include "StateFile.h"

#include "HalvoraVocabulary.h"
#include "PluginProcessor.h"
#include "parameters/HostValue.h"

#include <cmath>
#include <limits>

namespace halvora
{

namespace
{
    juce::String formatNumber (double v)
    {
        return juce::String (v, 6).trimCharactersAtEnd ("0").trimCharactersAtEnd (".");
    }
} // namespace

juce::RangedAudioParameter* findParameter (juce::AudioProcessor& processor, const juce::String& id)
{
    for (auto* p : processor.getParameters())
        if (auto* ranged = dynamic_cast<juce::RangedAudioParameter*> (p))
            if (ranged->getParameterID() == id)
                return ranged;

    return nullptr;
}

juce::String applyParameterSetting (juce::AudioProcessor& processor, const ParamSetting& setting, juce::StringArray& warnings)
{
    auto* param = findParameter (processor, setting.id);

    if (param == nullptr)
        return "unknown parameter '" + setting.id + "' (see --list-params)";

    if (auto* choice = dynamic_cast<juce::AudioParameterChoice*> (param))
    {
        auto index = choice->choices.indexOf (setting.value, false);

        if (index < 0)
            index = choice->choices.indexOf (setting.value, true);

        if (index < 0)
        {
            const auto number = parseNumber (setting.value);

            if (! number)
                return "'" + setting.value + "' is not a choice of " + setting.id + " (" + choice->choices.joinIntoString (", ") + ")";

            // An index is rounded to the nearest entry by the rule every door follows:
            // 2.7 on key is D#, as an LV2 port or an automation value would give.
            const auto last = choice->choices.size() - 1;
            const auto normalised = HostValue::fromPlain (*choice, *number);
            index = juce::roundToInt (choice->convertFrom0to1 (normalised));

            if (*number < 0.0 || *number > last)
                warnings.add (setting.id + " index " + setting.value + " is outside 0 to " + juce::String (last)
                              + ", using " + choice->choices[index]);

            choice->setValueNotifyingHost (normalised);
            return {};
        }

        choice->setValueNotifyingHost (choice->convertTo0to1 (static_cast<float> (index)));
        return {};
    }

    const auto number = parseNumber (setting.value);

    if (! number)
        return "'" + setting.value + "' is not a number for " + setting.id;

    // The parameter holds a float and its bounds are floats, so the typed value is compared as
    // the float it becomes: "0.1" is then exactly the lower bound of vibRate, not a hair below it.
    const auto& range = param->getNormalisableRange();
    const auto typed = static_cast<float> (juce::jlimit (static_cast<double> (std::numeric_limits<float>::lowest()),
                                                         static_cast<double> (std::numeric_limits<float>::max()), *number));
    const auto clamped = juce::jlimit (range.start, range.end, typed);

    if (clamped != typed)
        warnings.add (setting.id + " " + setting.value + " is outside " + formatNumber (range.start) + " to "
                      + formatNumber (range.end) + ", using " + formatNumber (clamped));

    param->setValueNotifyingHost (HostValue::fromPlain (*param, typed));
    return {};
}

juce::String describeParameters (juce::AudioProcessor& processor)
{
    juce::String table;

    for (auto* p : processor.getParameters())
    {
        auto* param = dynamic_cast<juce::RangedAudioParameter*> (p);

        if (param == nullptr)
            continue;

        auto line = param->getParameterID().paddedRight (' ', 11) + ("\"" + param->getName (64) + "\"").paddedRight (' ', 22);

        if (auto* choice = dynamic_cast<juce::AudioParameterChoice*> (param))
        {
            line << "choices " << choice->choices.joinIntoString (", ") << "; default "
                 << choice->choices[static_cast<int> (choice->convertFrom0to1 (param->getDefaultValue()))];
        }
        else
        {
            const auto& range = param->getNormalisableRange();
            line << formatNumber (range.start) << " to " << formatNumber (range.end) << ", step "
                 << formatNumber (range.interval) << ", default "
                 << formatNumber (range.convertFrom0to1 (param->getDefaultValue()));
        }

        table << line << "\n";
    }

    return table;
}

std::optional<Failure> checkSettings (juce::AudioProcessor& processor, const RenderOptions& options,
                                      CheckedSettings& settings, juce::StringArray& warnings)
{
    for (const auto& setting : options.params)
    {
        const auto error = applyParameterSetting (processor, setting, warnings);

        if (error.isNotEmpty())
            return Failure { exitUsageError, error };

        auto* param = findParameter (processor, setting.id);
        settings.emplace_back (param, param->getValue());
    }

    return std::nullopt;
}

std::optional<Failure> applyStateAndSettings (juce::AudioProcessor& processor, const RenderOptions& options,
                                              const CheckedSettings& settings)
{
    if (options.statePath.isNotEmpty())
        if (auto failure = readStateFile (processor, options.statePath))
            return failure;

    for (const auto& [param, normalised] : settings)
        param->setValueNotifyingHost (normalised);

    if (auto* halvora = dynamic_cast<HalvoraAudioProcessor*> (&processor))
        halvora->setActiveMvTarget (static_cast<HalvoraAudioProcessor::MvTarget> (options.onTarget));

    if (options.saveStatePath.isNotEmpty())
        if (auto failure = writeStateFile (processor, options.saveStatePath))
            return failure;

    return std::nullopt;
}

int chosenRange (juce::AudioProcessor& processor)
{
    auto* range = dynamic_cast<juce::AudioParameterChoice*> (findParameter (processor, ParamID::range));
    return range != nullptr ? range->getIndex() : 0;
}

} // namespace halvora
