#pragma once

// Runs one host session in a child process, so that a crash, an abort or a memory bomb in
// the plug-in fails that case alone: the child gets a pipe for its report and an
// address-space limit; an exception escaping the plug-in ends it as it would a real host.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

namespace childhost
{
struct Outcome
{
    std::string problem; // empty when the child exited with status 0
    std::string report;  // what it wrote to its pipe
};

inline Outcome run (const std::function<int (int fd)>& session, rlim_t addressSpaceBytes = rlim_t { 1024 } << 20)
{
    int fds[2];

    if (pipe (fds) != 0)
        return { "no pipe", {} };

    const auto pid = fork();

    if (pid == 0)
    {
        close (fds[0]);
        const rlimit limit { addressSpaceBytes, addressSpaceBytes };
        // _exit: the plug-in and the framework are left loaded, as a host quitting would.
        const auto status = setrlimit (RLIMIT_AS, &limit) != 0 ? 99 : [&]() noexcept { return session (fds[1]); }();
        _exit (status);
    }

    close (fds[1]);
    Outcome outcome;
    char buffer[4096];

    for (ssize_t n; (n = ::read (fds[0], buffer, sizeof (buffer))) > 0;)
        outcome.report.append (buffer, static_cast<size_t> (n));

    close (fds[0]);
    int status = 0;
    waitpid (pid, &status, 0);

    if (WIFSIGNALED (status))
        outcome.problem = "the host died on signal " + std::to_string (WTERMSIG (status));
    else if (WEXITSTATUS (status) != 0)
        outcome.problem = "the host could not load the plug-in (" + std::to_string (WEXITSTATUS (status)) + ")";

    return outcome;
}
} // namespace childhost
