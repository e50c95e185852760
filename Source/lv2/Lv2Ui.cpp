#include "Lv2Ui.h"

#include "PluginEditor.h"
#include "lv2/Lv2ControlPorts.h"
#include "lv2/Lv2Instance.h"
#include "lv2/Lv2Features.h"
#include "lv2/Lv2Ports.h"
#include "parameters/HostValue.h"

#include <lv2/instance-access/instance-access.h>
#include <lv2/urid/urid.h>

#include <array>
#include <cstring>

namespace halvora::lv2
{
//==============================================================================
std::unique_ptr<Lv2Ui> Lv2Ui::create (LV2UI_Write_Function write, LV2UI_Controller controller, LV2UI_Widget* widget,
                                      const LV2_Feature* const* features)
{
    auto* parent = const_cast<void*> (findFeature (features, LV2_UI__parent));

    if (parent == nullptr || widget == nullptr)
        return nullptr;

    std::unique_ptr<Lv2Ui> ui (new Lv2Ui (write, controller, parent,
                                          static_cast<const LV2UI_Resize*> (findFeature (features, LV2_UI__resize)),
                                          static_cast<const LV2UI_Touch*> (findFeature (features, LV2_UI__touch)),
                                          static_cast<Lv2Instance*> (const_cast<void*> (findFeature (features, LV2_INSTANCE_ACCESS_URI))),
                                          static_cast<const LV2_URID_Map*> (findFeature (features, LV2_URID__map))));
    *widget = reinterpret_cast<LV2UI_Widget> (ui->getWindowHandle());
    return ui;
}

Lv2Ui::Lv2Ui (LV2UI_Write_Function writeFunction, LV2UI_Controller hostController, LV2UI_Widget parent,
              const LV2UI_Resize* resize, const LV2UI_Touch* touchFeature, Lv2Instance* pluginInstance,
              const LV2_URID_Map* map)
    : write (writeFunction),
      controller (hostController),
      touch (touchFeature),
      plugin (pluginInstance),
      onTargetUrids (map != nullptr && map->map != nullptr ? std::optional<OnTargetUrids> (OnTargetUrids::map (*map)) : std::nullopt)
{
    if (plugin != nullptr)
    {
        targetSent = plugin->getProcessor().getActiveMvTarget();
        mirror.setActiveMvTarget (targetSent);
    }

    editor.reset (mirror.createEditorIfNeeded());

    for (auto* parameter : mirror.getParameters())
        parameter->addListener (this);

    setOpaque (true);
    setSize (editor->getWidth(), editor->getHeight());
    addAndMakeVisible (*editor);
    addToDesktop (0, parent);
    setVisible (true);

    // The editor has one size; the host's window takes it.
    if (resize != nullptr && resize->ui_resize != nullptr)
        resize->ui_resize (resize->handle, getWidth(), getHeight());
}

Lv2Ui::~Lv2Ui()
{
    // The window goes now, while the framework is still up: the Component base class is
    // destroyed after our members, the last of which shuts the framework's GUI down, and a
    // window removed then would bring its singletons back to outlive the UI.
    removeFromDesktop();

    for (auto* parameter : mirror.getParameters())
        parameter->removeListener (this);

    mirror.editorBeingDeleted (editor.get());
    editor.reset();
}

//==============================================================================
void Lv2Ui::portEvent (std::uint32_t port, std::uint32_t bufferSize, std::uint32_t format, const void* buffer)
{
    if (port == onTargetReport && onTargetUrids && format == onTargetUrids->eventTransfer)
    {
        takeTargetReport (bufferSize, buffer);
        return;
    }

    // Control ports arrive as plain floats (format 0); nothing else is ours to read.
    if (format != 0 || bufferSize != sizeof (float) || buffer == nullptr || ! isControlPort (port))
        return;

    float value;
    std::memcpy (&value, buffer, sizeof value);

    auto* parameter = mirror.apvts.getParameter (parameterIDs[port - firstControl]);

    if (parameter == nullptr)
        return;

    const juce::ScopedValueSetter<bool> fromHost (applyingHostValue, true);
    parameter->setValueNotifyingHost (HostValue::fromPlain (*parameter, value));
}

int Lv2Ui::idle()
{
    eventLoop.processPendingEvents();
    askPluginForTarget();
    sendTargetToPlugin();
    return 0;
}

void Lv2Ui::askPluginForTarget()
{
    // Asked from the first idle call rather than while the host is still instantiating us.
    if (askedForTarget || plugin != nullptr || ! onTargetUrids || write == nullptr)
        return;

    const auto question = OnTargetMessage::question (*onTargetUrids);
    write (controller, onTarget, question.atomSize(), onTargetUrids->eventTransfer, &question);
    askedForTarget = true;
}

void Lv2Ui::takeTargetReport (std::uint32_t bufferSize, const void* buffer)
{
    // The host's bytes: copied into aligned room of their own size at most, and read only
    // as far as the atom's own size, which must lie inside them.
    std::array<std::uint64_t, 8> atomBytes {};

    if (buffer == nullptr || bufferSize < sizeof (LV2_Atom) || bufferSize > sizeof (atomBytes))
        return;

    std::memcpy (atomBytes.data(), buffer, bufferSize);
    const auto& atom = *reinterpret_cast<const LV2_Atom*> (atomBytes.data());

    if (atom.size > bufferSize - sizeof (LV2_Atom))
        return;

    if (const auto target = readOnTarget (*onTargetUrids, atom))
    {
        targetSent = static_cast<HalvoraAudioProcessor::MvTarget> (*target);
        mirror.setActiveMvTarget (targetSent);

        if (auto* halvoraEditor = dynamic_cast<HalvoraAudioProcessorEditor*> (editor.get()))
            halvoraEditor->updateOnButtonsFromProcessor();
    }
}

void Lv2Ui::sendTargetToPlugin()
{
    const auto target = mirror.getActiveMvTarget();

    if (target == targetSent)
        return;

    if (plugin != nullptr)
    {
        plugin->getProcessor().setActiveMvTarget (target);
    }
    else if (onTargetUrids && write != nullptr)
    {
        const auto message = OnTargetMessage::make (*onTargetUrids, static_cast<int> (target));
        write (controller, onTarget, message.atomSize(), onTargetUrids->eventTransfer, &message);
    }
    else
    {
        return;
    }

    targetSent = target;
}

//==============================================================================
void Lv2Ui::parameterValueChanged (int parameterIndex, float newValue)
{
    if (applyingHostValue || write == nullptr || parameterIndex < 0 || parameterIndex >= static_cast<int> (parameterIDs.size()))
        return;

    const auto* parameter = mirror.apvts.getParameter (parameterIDs[static_cast<std::size_t> (parameterIndex)]);
    const auto value = parameter->convertFrom0to1 (newValue);
    write (controller, controlPortFor (static_cast<std::size_t> (parameterIndex)), sizeof (float), 0, &value);
}

void Lv2Ui::parameterGestureChanged (int parameterIndex, bool gestureIsStarting)
{
    if (touch == nullptr || touch->touch == nullptr || parameterIndex < 0 || parameterIndex >= static_cast<int> (parameterIDs.size()))
        return;

    touch->touch (touch->handle, controlPortFor (static_cast<std::size_t> (parameterIndex)), gestureIsStarting);
}

void Lv2Ui::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colours::black);
}

} // namespace halvora::lv2
