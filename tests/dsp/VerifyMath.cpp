// The whole sweep behind `make verify-math`: every float tanh can be asked for (any
// sample times the drive) and every float the vibrato's sine can be asked for, through
// every vector path this processor runs, against the C library. The test suite checks
// every few-thousandth float of the same ranges; this checks all of them.

#include "dsp/MathSweep.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

using namespace halvora;

namespace
{
struct Range
{
    const char* label;
    mathsweep::Function function;
    std::uint32_t first, last;
    bool required; // false: reported, outside what the plug-in asks for
};

/** The range split in pieces taken by as many threads as the machine has. */
mathsweep::Result sweepInParallel (const Range& range)
{
    constexpr std::uint64_t pieceLength = 1u << 22;
    const auto total = static_cast<std::uint64_t> (range.last) - range.first + 1;
    const auto pieces = (total + pieceLength - 1) / pieceLength;

    std::atomic<std::uint64_t> nextPiece { 0 };
    std::mutex resultLock;
    mathsweep::Result result;

    const auto work = [&] {
        for (auto piece = nextPiece++; piece < pieces; piece = nextPiece++)
        {
            const auto first = range.first + piece * pieceLength;
            const auto last = std::min<std::uint64_t> (first + pieceLength - 1, range.last);
            const auto part = mathsweep::sweep (range.function, static_cast<std::uint32_t> (first), static_cast<std::uint32_t> (last), 1);
            const std::lock_guard<std::mutex> lock (resultLock);
            result.add (part);
        }
    };

    std::vector<std::thread> threads;

    for (unsigned i = 0; i < std::max (1u, std::thread::hardware_concurrency()); ++i)
        threads.emplace_back (work);

    for (auto& t : threads)
        t.join();

    return result;
}
} // namespace

int main()
{
    const Range ranges[] {
        { "every float", mathsweep::Function::tanh, 0x00000000u, 0xffffffffu, true },
        { "[0, 2 pi], the vibrato's phases", mathsweep::Function::sin, mathsweep::zeroBits, mathsweep::twoPiBits, true },
        { "(2 pi, limit]", mathsweep::Function::sin, mathsweep::twoPiBits + 1, mathsweep::floatToBits (VectorMath::sinLimit), false },
        { "[-limit, -0]", mathsweep::Function::sin, 0x80000000u, mathsweep::floatToBits (-VectorMath::sinLimit), false },
    };

    std::printf ("paths compared with scalar:");

    for (auto path : VectorPaths::all)
        if (path != VectorPath::scalar && VectorPaths::isAvailable (path))
            std::printf (" %s", VectorPaths::name (path));

    std::printf ("\n%-5s %-34s %14s %14s %6s %15s  %s\n", "", "arguments", "floats", "differing", "worst", "path mismatches", "worst at");

    auto failed = false;

    for (const auto& range : ranges)
    {
        const auto r = sweepInParallel (range);
        std::printf ("%-5s %-34s %14llu %14llu %4lld ulp %15llu  %a\n", mathsweep::name (range.function), range.label,
                     static_cast<unsigned long long> (r.checked), static_cast<unsigned long long> (r.differing),
                     static_cast<long long> (r.worstUlps), static_cast<unsigned long long> (r.pathMismatches),
                     static_cast<double> (r.worstArgument));
        std::fflush (stdout);
        failed = failed || r.pathMismatches != 0 || (range.required && r.worstUlps > 1);
    }

    std::printf (failed ? "verify-math: FAILED\n" : "verify-math: every path within 1 ulp of the C library, and all paths identical\n");
    return failed ? 1 : 0;
}
