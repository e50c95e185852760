// The framework's own plug-in message thread, which needs its X11 declarations: this is the
// one file of the layer that sees them.
#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1

#include "Lv2MessageLoop.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <juce_audio_plugin_client/detail/juce_LinuxMessageThread.h>

namespace halvora::lv2
{

struct Lv2PluginMessageThread::Shared
{
    juce::SharedResourcePointer<juce::detail::MessageThread> thread;
};

Lv2PluginMessageThread::Lv2PluginMessageThread()
    : shared (std::make_unique<Shared>())
{
}
Lv2PluginMessageThread::~Lv2PluginMessageThread() = default;

struct Lv2UiEventLoop::Shared
{
    juce::SharedResourcePointer<juce::detail::HostDrivenEventLoop> loop;
};

Lv2UiEventLoop::Lv2UiEventLoop()
    : shared (std::make_unique<Shared>())
{
}
Lv2UiEventLoop::~Lv2UiEventLoop() = default;

void Lv2UiEventLoop::processPendingEvents()
{
    shared->loop->processPendingEvents();
}

} // namespace halvora::lv2
