#pragma once

namespace halvora
{

//==============================================================================
/** The widths of vector the plug-in's hot loops can run at. The build targets any
    x86-64 processor; the wider paths are chosen at run time from what the processor
    offers. Every path of a loop gives the same bits: they differ only in how many
    lanes run side by side.
*/
enum class VectorPath
{
    scalar, // one lane, on any processor
    sse2,   // 128-bit vectors, every x86-64 processor
    avx2,   // 256-bit vectors with AVX2's integer operations and FMA where present, chosen at run time
    avx512, // 512-bit vectors, chosen at run time
    avx     // 256-bit float vectors alone (AVX, with or without AVX2): the reverb's eight comb lanes
};

namespace VectorPaths
{
    /** The paths every kernel has code for. The reverb's combs need AVX alone for their
        eight lanes, so they also run on avx (see VoiceReverb); every other kernel runs its
        sse2 code when asked for avx.
    */
    inline constexpr VectorPath all[] { VectorPath::scalar, VectorPath::sse2, VectorPath::avx2, VectorPath::avx512 };

    /** True when this processor (and this build) can run the path. */
    bool isAvailable (VectorPath) noexcept;

    /** The path used unless told otherwise. */
    VectorPath fastestAvailable() noexcept;

    const char* name (VectorPath) noexcept;

    /** True when this processor (and this build) has AVX: 256-bit float vectors, without
        AVX2's integer ones.
    */
    bool hasAvx() noexcept;

    /** True when this processor (and this build) has fused multiply-add instructions. */
    bool hasFusedMultiplyAdd() noexcept;
} // namespace VectorPaths

} // namespace halvora

#if (defined(__GNUC__) || defined(__clang__)) && defined(__x86_64__)
#define HALVORA_X86_PATHS 1
#else
#define HALVORA_X86_PATHS 0
#endif
