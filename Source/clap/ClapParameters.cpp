#include "ClapParameters.h"

#include "clap/ClapParameterText.h"
#include "parameters/HostValue.h"

#include <algorithm>
#include <cstring>

namespace halvora::clap
{

ClapParameters::ClapParameters (juce::AudioProcessorValueTreeState& state)
{
    for (std::size_t i = 0; i < count; ++i)
    {
        entries[i].parameter = state.getParameter (parameterIDs[i]);
        jassert (entries[i].parameter != nullptr);
        entries[i].parameter->addListener (this);
    }
}

ClapParameters::~ClapParameters()
{
    for (auto& entry : entries)
        entry.parameter->removeListener (this);
}

void ClapParameters::setHost (const clap_host_t* clapHost, const clap_host_params_t* params) noexcept
{
    host = clapHost;
    hostParams = params;
}

juce::RangedAudioParameter* ClapParameters::parameterFor (clap_id id) const noexcept
{
    return id < count ? entries[id].parameter : nullptr;
}

//==============================================================================
bool ClapParameters::getInfo (std::uint32_t index, clap_param_info_t& info) const noexcept
{
    const auto* parameter = parameterFor (index);

    if (parameter == nullptr)
        return false;

    info = {};
    info.id = index;
    info.flags = CLAP_PARAM_IS_AUTOMATABLE;

    if (HostValue::isChoice (*parameter))
        info.flags |= CLAP_PARAM_IS_STEPPED;
    info.cookie = nullptr;
    parameter->getName (CLAP_NAME_SIZE - 1).copyToUTF8 (info.name, CLAP_NAME_SIZE);
    const auto& range = parameter->getNormalisableRange();
    info.min_value = range.start;
    info.max_value = range.end;
    info.default_value = parameter->convertFrom0to1 (parameter->getDefaultValue());
    return true;
}

bool ClapParameters::getValue (clap_id id, double& value) const noexcept
{
    const auto* parameter = parameterFor (id);

    if (parameter == nullptr)
        return false;

    value = parameter->convertFrom0to1 (parameter->getValue());
    return true;
}

bool ClapParameters::valueToText (clap_id id, double plain, char* display, std::uint32_t size) const
{
    const auto* parameter = parameterFor (id);

    if (parameter == nullptr || display == nullptr || size == 0)
        return false;

    const auto text = ParameterText::fromPlain (*parameter, id, plain);

    if (text.size() >= size)
        return false;

    std::memcpy (display, text.c_str(), text.size() + 1);
    return true;
}

bool ClapParameters::textToValue (clap_id id, const char* display, double& plain) const
{
    const auto* parameter = parameterFor (id);

    if (parameter == nullptr)
        return false;

    const auto value = ParameterText::toPlain (*parameter, id, display);

    if (! value)
        return false;

    plain = *value;
    return true;
}

//==============================================================================
void ClapParameters::applyHostEvents (const clap_input_events_t* in) noexcept
{
    if (in == nullptr || in->size == nullptr || in->get == nullptr)
        return;

    const auto numEvents = in->size (in);

    for (std::uint32_t i = 0; i < numEvents; ++i)
    {
        const auto* header = in->get (in, i);

        if (header == nullptr || header->space_id != CLAP_CORE_EVENT_SPACE_ID || header->type != CLAP_EVENT_PARAM_VALUE
            || header->size < sizeof (clap_event_param_value_t))
            continue;

        const auto& event = *reinterpret_cast<const clap_event_param_value_t*> (header);

        if (auto* parameter = parameterFor (event.param_id))
        {
            // The framework's setter is public on the base class; it only stores.
            juce::AudioProcessorParameter& base = *parameter;
            base.setValue (HostValue::fromPlain (*parameter, event.value));
            entries[event.param_id].unpublished.store (true);
        }
    }
}

void ClapParameters::publishChanges()
{
    const juce::ScopedValueSetter<bool> fromHost (notEditorChanges, true);

    for (auto& entry : entries)
        if (entry.unpublished.exchange (false))
            entry.parameter->sendValueChangedMessageToListeners (entry.parameter->getValue());
}

void ClapParameters::beginRestore() noexcept
{
    notEditorChanges = true;
}

void ClapParameters::endRestore() noexcept
{
    notEditorChanges = false;

    if (hostParams != nullptr && hostParams->rescan != nullptr)
        hostParams->rescan (host, CLAP_PARAM_RESCAN_VALUES);
}

//==============================================================================
void ClapParameters::sendEditorEvents (const clap_output_events_t* out) noexcept
{
    const auto pending = editorQueue.getNumReady();

    if (pending == 0)
        return;

    const auto scope = editorQueue.read (pending);
    const auto push = [out] (const EditorEvent& e) {
        if (out == nullptr || out->try_push == nullptr)
            return;

        if (e.type == CLAP_EVENT_PARAM_VALUE)
        {
            clap_event_param_value_t event {};
            event.header = { sizeof (event), 0, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0 };
            event.param_id = e.id;
            event.note_id = -1;
            event.port_index = -1;
            event.channel = -1;
            event.key = -1;
            event.value = e.value;
            out->try_push (out, &event.header);
        }
        else
        {
            clap_event_param_gesture_t event {};
            event.header = { sizeof (event), 0, CLAP_CORE_EVENT_SPACE_ID, e.type, 0 };
            event.param_id = e.id;
            out->try_push (out, &event.header);
        }
    };

    scope.forEach ([&] (int index) { push (editorEvents[static_cast<std::size_t> (index)]); });
}

void ClapParameters::queueEditorEvent (std::uint16_t type, int parameterIndex, double plain) noexcept
{
    if (notEditorChanges || parameterIndex < 0 || parameterIndex >= static_cast<int> (count))
        return;

    // A full queue (a host that neither processes nor flushes) drops the newest edit.
    if (editorQueue.getFreeSpace() == 0)
        return;

    editorQueue.write (1).forEach ([&] (int index) {
        editorEvents[static_cast<std::size_t> (index)] = { type, static_cast<clap_id> (parameterIndex), plain };
    });

    if (hostParams != nullptr && hostParams->request_flush != nullptr)
        hostParams->request_flush (host);
}

void ClapParameters::parameterValueChanged (int parameterIndex, float newValue)
{
    if (const auto* parameter = parameterFor (static_cast<clap_id> (parameterIndex)))
        queueEditorEvent (CLAP_EVENT_PARAM_VALUE, parameterIndex, parameter->convertFrom0to1 (newValue));
}

void ClapParameters::parameterGestureChanged (int parameterIndex, bool gestureIsStarting)
{
    queueEditorEvent (gestureIsStarting ? CLAP_EVENT_PARAM_GESTURE_BEGIN : CLAP_EVENT_PARAM_GESTURE_END, parameterIndex, 0.0);
}

} // namespace halvora::clap
