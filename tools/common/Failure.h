#pragma once

#include <juce_core/juce_core.h>

#include <optional>

namespace halvora
{

/** Exit statuses of the command-line tools. */
enum ExitStatus
{
    exitOk = 0,
    exitFileError = 1,
    exitUsageError = 2
};

/** A usage problem or a file problem: the one line a tool prints, and the status it ends with. */
struct Failure
{
    int status;
    juce::String message;
};

/** A file problem from a one-line error (as writeAtomically returns it), or nothing when empty. */
inline std::optional<Failure> fileFailure (const juce::String& error)
{
    if (error.isNotEmpty())
        return Failure { exitFileError, error };

    return std::nullopt;
}

} // namespace halvora
