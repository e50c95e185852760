// The framework's own plug-in message thread, which needs its X11 declarations: this is the
// one file of the layer that sees them.
#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1

#include "ClapMessageLoop.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <juce_audio_plugin_client/detail/juce_LinuxMessageThread.h>

namespace halvora::clap
{

struct ClapMessageThread::Shared
{
    juce::SharedResourcePointer<juce::detail::MessageThread> thread;
};

ClapMessageThread::ClapMessageThread()
    : shared (std::make_unique<Shared>())
{
}
ClapMessageThread::~ClapMessageThread() = default;

struct ClapEditorEventLoop::Shared
{
    juce::SharedResourcePointer<juce::detail::HostDrivenEventLoop> loop;
};

ClapEditorEventLoop::ClapEditorEventLoop()
    : shared (std::make_unique<Shared>())
{
}
ClapEditorEventLoop::~ClapEditorEventLoop() = default;

void ClapEditorEventLoop::processPendingEvents()
{
    shared->loop->processPendingEvents();
}

} // namespace halvora::clap
