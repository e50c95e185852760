#pragma once

#include <juce_core/juce_core.h>

#include <iosfwd>

namespace halvora
{

/** A one-line progress bar on stderr, only when a person is watching. */
class ProgressBar final
{
public:
    ProgressBar (std::ostream& stream, bool enabled);

    void update (juce::int64 done, juce::int64 total);

    /** Clears the bar's line, if it drew one. */
    void finish();

private:
    static constexpr int width = 40;
    std::ostream& err;
    bool active;
    int lastPercent = -1;

    JUCE_DECLARE_NON_COPYABLE (ProgressBar)
};

} // namespace halvora
