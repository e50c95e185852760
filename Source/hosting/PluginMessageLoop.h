#pragma once

#include <memory>

namespace halvora
{

/** The framework's message loop beside a host of a format of ours (LV2, CLAP), shared by
    every Halvora in the process.

    While no editor is open, a thread of ours runs it (the value-tree state's timers and
    updates need one). An open editor takes the loop over: the host's UI thread becomes the
    message thread and runs it from its idle calls or timers, and the thread resumes when
    the last editor closes.
*/
class PluginMessageThread final
{
public:
    PluginMessageThread();
    ~PluginMessageThread();

private:
    struct Shared;
    std::unique_ptr<Shared> shared;
};

/** Held by an open editor: makes the calling thread the message thread. */
class EditorEventLoop final
{
public:
    EditorEventLoop();
    ~EditorEventLoop();

    /** Runs every pending message; called from the host's idle call or timer. */
    void processPendingEvents();

private:
    struct Shared;
    std::unique_ptr<Shared> shared;
};

} // namespace halvora
