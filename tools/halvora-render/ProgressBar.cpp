#include "ProgressBar.h"

#include <ostream>

namespace halvora
{

ProgressBar::ProgressBar (std::ostream& stream, bool enabled)
    : err (stream),
      active (enabled)
{
}

void ProgressBar::update (juce::int64 done, juce::int64 total)
{
    if (! active || total <= 0)
        return;

    const auto percent = static_cast<int> (100 * done / total);

    if (percent == lastPercent)
        return;

    lastPercent = percent;
    const auto filled = percent * width / 100;
    err << "\rhalvora-render [" << juce::String::repeatedString ("#", filled)
        << juce::String::repeatedString (".", width - filled) << "] " << percent << "%" << std::flush;
}

void ProgressBar::finish()
{
    if (active && lastPercent >= 0)
        err << "\r" << juce::String::repeatedString (" ", width + 24) << "\r" << std::flush;
}

} // namespace halvora
