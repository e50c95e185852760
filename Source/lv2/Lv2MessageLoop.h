#pragma once

#include <memory>

namespace halvora::lv2
{

/** The framework's message loop beside an LV2 host, shared by every Halvora in the process.

    While no editor is open, a thread of ours runs it (the value-tree state's timers and
    updates need one). An open UI takes the loop over: the host's UI thread becomes the
    message thread and runs it from its idle calls, and the thread resumes when the last UI
    closes.
*/
class Lv2PluginMessageThread final
{
public:
    Lv2PluginMessageThread();
    ~Lv2PluginMessageThread();

private:
    struct Shared;
    std::unique_ptr<Shared> shared;
};

/** Held by an open UI: makes the calling thread the message thread. */
class Lv2UiEventLoop final
{
public:
    Lv2UiEventLoop();
    ~Lv2UiEventLoop();

    /** Runs every pending message; called from the host's idle call. */
    void processPendingEvents();

private:
    struct Shared;
    std::unique_ptr<Shared> shared;
};

} // namespace halvora::lv2
