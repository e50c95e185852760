#pragma once

#include <memory>

namespace halvora::clap
{

/** The framework's message loop beside a CLAP host, shared by every Halvora in the process.

    While no editor is open, a thread of ours runs it (the value-tree state's timers and
    updates need one). An open editor takes the loop over: the host's main thread becomes
    the message thread and runs it from the host's timer, and the thread resumes when the
    last editor closes.
*/
class ClapMessageThread final
{
public:
    ClapMessageThread();
    ~ClapMessageThread();

private:
    struct Shared;
    std::unique_ptr<Shared> shared;
};

/** Held by an open editor: makes the calling thread (the host's main thread) the message thread. */
class ClapEditorEventLoop final
{
public:
    ClapEditorEventLoop();
    ~ClapEditorEventLoop();

    /** Runs every pending message; called from the host's timer. */
    void processPendingEvents();

private:
    struct Shared;
    std::unique_ptr<Shared> shared;
};

} // namespace halvora::clap
