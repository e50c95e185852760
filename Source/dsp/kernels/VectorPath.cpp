#include "VectorPath.h"

namespace
{
#if HALVORA_X86_PATHS
/** What the processor offers, asked once when the plug-in is loaded (the question
    runs CPUID, which a virtual machine may trap), never on the audio thread.
*/
struct InstructionSets
{
    bool avx = false, avx2 = false, avx512 = false, fma = false;
    bool fast512 = false; // 512-bit arithmetic without the first AVX-512 chips' clock penalty
};

InstructionSets detectInstructionSets() noexcept
{
    __builtin_cpu_init();
    InstructionSets sets;
    sets.avx = __builtin_cpu_supports ("avx") != 0;
    sets.avx2 = __builtin_cpu_supports ("avx2") != 0;
    sets.avx512 = __builtin_cpu_supports ("avx512f") != 0;
    sets.fma = __builtin_cpu_supports ("fma") != 0;

    // AVX512-IFMA arrived with the generations (Ice Lake, Zen 4 and later) whose clock
    // stays up under 512-bit floating point; earlier ones slow the whole core down for
    // it, and there the 256-bit path is the better default.
    sets.fast512 = sets.avx512 && __builtin_cpu_supports ("avx512ifma") != 0;
    return sets;
}

// Asked when first needed, so statics of other files may ask while the plug-in loads;
// the plug-in asks while it loads, never first on the audio thread.
const InstructionSets& processor() noexcept
{
    static const InstructionSets sets = detectInstructionSets();
    return sets;
}

[[maybe_unused]] const auto askedWhileLoading = processor().avx2;
#endif
} // namespace

namespace halvora
{

bool VectorPaths::isAvailable (VectorPath path) noexcept
{
    switch (path)
    {
        case VectorPath::scalar: return true;
#if HALVORA_X86_PATHS
        case VectorPath::sse2: return true;
        case VectorPath::avx2: return processor().avx2;
        case VectorPath::avx512: return processor().avx512;
        case VectorPath::avx: return processor().avx;
#else
        case VectorPath::sse2:
        case VectorPath::avx:
        case VectorPath::avx2:
        case VectorPath::avx512: return false;
#endif
    }

    return false;
}

VectorPath VectorPaths::fastestAvailable() noexcept
{
#if HALVORA_X86_PATHS
    if (processor().fast512)
        return VectorPath::avx512;

    if (processor().avx2)
        return VectorPath::avx2;

    return VectorPath::sse2;
#else
    return VectorPath::scalar;
#endif
}

const char* VectorPaths::name (VectorPath path) noexcept
{
    switch (path)
    {
        case VectorPath::scalar: return "scalar";
        case VectorPath::sse2: return "sse2";
        case VectorPath::avx2: return "avx2";
        case VectorPath::avx512: return "avx512";
        case VectorPath::avx: return "avx";
    }

    return "?";
}

bool VectorPaths::hasAvx() noexcept
{
#if HALVORA_X86_PATHS
    return processor().avx;
#else
    return false;
#endif
}

bool VectorPaths::hasFusedMultiplyAdd() noexcept
{
#if HALVORA_X86_PATHS
    return processor().fma;
#else
    return false;
#endif
}

} // namespace halvora
