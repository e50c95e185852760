#pragma once

/** Counts heap allocations made on the calling thread between start() and stop().
    The test binary that links AllocationCounter.cpp replaces the global allocation
    functions, so std::vector, juce::HeapBlock and malloc all show up.
*/
struct AllocationCounter
{
    static void start() noexcept;
    static int stop() noexcept;
};
