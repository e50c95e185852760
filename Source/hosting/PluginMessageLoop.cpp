// The framework's own plug-in message thread, which needs its X11 declarations: this is the
// one file of the format layers that sees them.
#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1

#include "PluginMessageLoop.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <juce_audio_plugin_client/detail/juce_LinuxMessageThread.h>

namespace halvora
{

struct PluginMessageThread::Shared
{
    juce::SharedResourcePointer<juce::detail::MessageThread> thread;
};

PluginMessageThread::PluginMessageThread()
    : shared (std::make_unique<Shared>())
{
}
PluginMessageThread::~PluginMessageThread() = default;

struct EditorEventLoop::Shared
{
    juce::SharedResourcePointer<juce::detail::HostDrivenEventLoop> loop;
};

EditorEventLoop::EditorEventLoop()
    : shared (std::make_unique<Shared>())
{
}
EditorEventLoop::~EditorEventLoop() = default;

void EditorEventLoop::processPendingEvents()
{
    shared->loop->processPendingEvents();
}

} // namespace halvora
