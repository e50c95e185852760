#pragma once

#if (defined(__SSE2__) || defined(_M_X64)) && ! defined(HALVORA_FLOAT4_PLAIN)
#include <emmintrin.h>
#define HALVORA_FLOAT4_SSE 1
#else
#define HALVORA_FLOAT4_SSE 0
#endif

namespace halvora
{

//==============================================================================
/** Four single-precision lanes, each computed with exactly the scalar operation it
    replaces (add, subtract, multiply, each rounded once), so lane-wise code gives the
    same bits as the plain loop it stands for. SSE2 is part of every x86-64 processor;
    elsewhere (or with HALVORA_FLOAT4_PLAIN defined) the lanes are four plain floats.
*/
struct Float4
{
#if HALVORA_FLOAT4_SSE
    __m128 v;

    static Float4 load (const float* aligned) noexcept { return { _mm_load_ps (aligned) }; }
    static Float4 loadUnaligned (const float* p) noexcept { return { _mm_loadu_ps (p) }; }
    static Float4 fill (float x) noexcept { return { _mm_set1_ps (x) }; }
    void store (float* aligned) const noexcept { _mm_store_ps (aligned, v); }
    void storeUnaligned (float* p) const noexcept { _mm_storeu_ps (p, v); }

    /** Lane k of this in all four lanes. */
    template <int k>
    Float4 broadcast() const noexcept { return { _mm_shuffle_ps (v, v, _MM_SHUFFLE (k, k, k, k)) }; }

    friend Float4 operator+ (Float4 a, Float4 b) noexcept { return { _mm_add_ps (a.v, b.v) }; }
    friend Float4 operator- (Float4 a, Float4 b) noexcept { return { _mm_sub_ps (a.v, b.v) }; }
    friend Float4 operator* (Float4 a, Float4 b) noexcept { return { _mm_mul_ps (a.v, b.v) }; }

    /** Rows become columns: lane k of row r trades places with lane r of row k. */
    static void transpose (Float4& r0, Float4& r1, Float4& r2, Float4& r3) noexcept
    {
        _MM_TRANSPOSE4_PS (r0.v, r1.v, r2.v, r3.v);
    }
#else
    float v[4];

    static Float4 load (const float* p) noexcept { return { { p[0], p[1], p[2], p[3] } }; }
    static Float4 loadUnaligned (const float* p) noexcept { return load (p); }
    static Float4 fill (float x) noexcept { return { { x, x, x, x } }; }
    void store (float* p) const noexcept
    {
        for (int k = 0; k < 4; ++k) p[k] = v[k];
    }
    void storeUnaligned (float* p) const noexcept { store (p); }

    template <int k>
    Float4 broadcast() const noexcept { return fill (v[k]); }

    friend Float4 operator+ (Float4 a, Float4 b) noexcept
    {
        for (int k = 0; k < 4; ++k) a.v[k] = a.v[k] + b.v[k];
        return a;
    }
    friend Float4 operator- (Float4 a, Float4 b) noexcept
    {
        for (int k = 0; k < 4; ++k) a.v[k] = a.v[k] - b.v[k];
        return a;
    }
    friend Float4 operator* (Float4 a, Float4 b) noexcept
    {
        for (int k = 0; k < 4; ++k) a.v[k] = a.v[k] * b.v[k];
        return a;
    }

    static void transpose (Float4& r0, Float4& r1, Float4& r2, Float4& r3) noexcept
    {
        Float4* rows[] { &r0, &r1, &r2, &r3 };

        for (int r = 0; r < 4; ++r)
            for (int k = r + 1; k < 4; ++k)
            {
                const auto t = rows[r]->v[k];
                rows[r]->v[k] = rows[k]->v[r];
                rows[k]->v[r] = t;
            }
    }
#endif
};

} // namespace halvora
