// The whole sweep behind `make verify-math`: every float through tanh and sin, on every
// vector path this processor runs, against what VectorMath.h promises (see
// mathsweep::keepsPromise). The test suite checks every few-thousandth float of the same
// ranges; this checks all of them.

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
    const auto limitBits = mathsweep::floatToBits (VectorMath::sinLimit);
    const auto minusLimitBits = mathsweep::floatToBits (-VectorMath::sinLimit);

    const Range ranges[] {
        { "every float", mathsweep::Function::tanh, 0x00000000u, 0xffffffffu },
        { "[0, 2 pi], the vibrato's phases", mathsweep::Function::sin, mathsweep::zeroBits, mathsweep::twoPiBits },
        { "(2 pi, limit]", mathsweep::Function::sin, mathsweep::twoPiBits + 1, limitBits },
        { "beyond the limit, inf, NaNs", mathsweep::Function::sin, limitBits + 1, 0x7fffffffu },
        { "[-limit, -0]", mathsweep::Function::sin, 0x80000000u, minusLimitBits },
        { "beyond -limit, -inf, NaNs", mathsweep::Function::sin, minusLimitBits + 1, 0xffffffffu },
    };

    std::printf ("paths compared with scalar:");

    for (auto path : VectorPaths::all)
        if (path != VectorPath::scalar && VectorPaths::isAvailable (path))
            std::printf (" %s", VectorPaths::name (path));

    std::printf ("\n%-5s %-31s %11s %11s %7s %-16s %7s %11s  %s\n",
                 "", "arguments", "floats", "differing", "worst", "worst at", "broken", "path misses", "first broken at");

    auto failed = false;

    for (const auto& range : ranges)
    {
        const auto r = sweepInParallel (range);
        std::printf ("%-5s %-31s %11llu %11llu %3lld ulp %-16a %7llu %11llu  ", mathsweep::name (range.function), range.label,
                     static_cast<unsigned long long> (r.checked), static_cast<unsigned long long> (r.differing),
                     static_cast<long long> (r.worstUlps), static_cast<double> (r.worstArgument),
                     static_cast<unsigned long long> (r.broken), static_cast<unsigned long long> (r.pathMismatches));

        if (r.broken != 0)
            std::printf ("%a (bits %08x)\n", static_cast<double> (r.firstBroken), mathsweep::floatToBits (r.firstBroken));
        else
            std::printf ("-\n");
        std::fflush (stdout);
        failed = failed || r.broken != 0 || r.pathMismatches != 0;
    }

    std::printf (failed ? "verify-math: FAILED\n"
                        : "verify-math: tanh has the C library's bits for every float; sin is within 1 ulp of it up to the limit\n"
                          "and has its bits beyond; zeros keep their sign, a NaN comes back quieted with its sign and payload;\n"
                          "every path gives the scalar path's bits\n");
    return failed ? 1 : 0;
}
