#include <gtest/gtest.h>

// The four-plain-floats lanes that builds for processors without SSE2 use, compiled here
// in a namespace of their own so they cannot be confused with the SSE2 lanes the reverb
// is built with (those are covered by the reverb's own bit-for-bit tests).
#define HALVORA_FLOAT4_PLAIN 1
namespace plainlanes
{
#include "dsp/kernels/Float4.h"
}

using plainlanes::halvora::Float4;

TEST (PlainFloat4, EachLaneIsTheScalarOperation)
{
    alignas (16) const float a[] { 1.5f, -0.0f, 1.0e-40f, 3.0e38f };
    alignas (16) const float b[] { 0.1f, 2.0f, 1.0e-40f, 3.0e38f };
    alignas (16) float out[4];

    const auto x = Float4::load (a), y = Float4::load (b);

    (x + y).store (out);
    for (int k = 0; k < 4; ++k) EXPECT_EQ (out[k], a[k] + b[k]) << k;

    (x - y).store (out);
    for (int k = 0; k < 4; ++k) EXPECT_EQ (out[k], a[k] - b[k]) << k;

    (x * y).store (out);
    for (int k = 0; k < 4; ++k) EXPECT_EQ (out[k], a[k] * b[k]) << k;

    x.broadcast<2>().storeUnaligned (out);
    for (int k = 0; k < 4; ++k) EXPECT_EQ (out[k], a[2]) << k;
}

TEST (PlainFloat4, TransposeSwapsRowsAndColumns)
{
    alignas (16) float m[4][4];
    for (int r = 0; r < 4; ++r)
        for (int k = 0; k < 4; ++k)
            m[r][k] = static_cast<float> (10 * r + k);

    auto r0 = Float4::load (m[0]), r1 = Float4::load (m[1]), r2 = Float4::load (m[2]), r3 = Float4::load (m[3]);
    Float4::transpose (r0, r1, r2, r3);

    alignas (16) float t[4][4];
    r0.store (t[0]);
    r1.store (t[1]);
    r2.store (t[2]);
    r3.store (t[3]);

    for (int r = 0; r < 4; ++r)
        for (int k = 0; k < 4; ++k)
            EXPECT_EQ (t[r][k], m[k][r]) << r << "," << k;
}
