#include "ToneStage.h"
#include "dsp/Clamp.h"
#include "HalvoraVocabulary.h"
#include "dsp/kernels/VectorMath.h"

#include <algorithm>
#include <cmath>

namespace halvora
{

namespace
{
    constexpr float twoPiFloat = 6.2831855f;

    //==============================================================================
    /*  The filter, lp = (lp + x) * 0.5, is a chain: each sample waits for an addition and
        then a multiplication. Carried as the sums s = lp + x instead, it is

            s[i] = s[i-1] * 0.5 + x[i]

        and halving is exact in the normal range, so a fused multiply-add (one rounding, of
        the exact s * 0.5 + x) gives the plain loop's bits while each sample waits for one
        instruction. A sum near the subnormal range, where halving rounds, sends the chunk
        back to the plain chain.

        The first channel's loop also moves the vibrato's phase on (listing the phases when
        the sines need them): a chain of additions of its own, which then overlaps the
        filter's instead of following it. The phase is held in a local here so that it stays
        in a register rather than being read back after every store.
    */
    struct PhaseSteps
    {
        float phase = 0.0f;
        float step = 0.0f;
        float* list = nullptr; // where to list the phases, or null to only move on
        int count = 0;         // how many of the chain's samples also take a phase step

        /** The phase after p: one step on, wrapped once past 2 pi. */
        float after (float p) const noexcept
        {
            p = p + step;

            if (p > twoPiFloat)
                p -= twoPiFloat;

            return p;
        }

        void take (int i, float& p) const noexcept
        {
            if (list != nullptr)
                list[i] = p;

            p = after (p);
        }
    };

    float plainSums (const float* x, float* sums, int n, float lp, PhaseSteps& steps) noexcept
    {
        auto phase = steps.phase;

        for (int i = 0; i < n; ++i)
        {
            sums[i] = lp + x[i];
            lp = sums[i] * 0.5f;

            if (i < steps.count)
                steps.take (i, phase);
        }

        steps.phase = phase;
        return lp;
    }

#if HALVORA_X86_PATHS
    [[gnu::target ("avx2,fma")]] bool fusedSums (const float* x, float* sums, int n, float lp, PhaseSteps& steps) noexcept
    {
        auto phase = steps.phase;
        auto s = lp + x[0];
        sums[0] = s;

        // The loops carry nothing but the two chains, so that a sample costs little more than
        // the chains' own latency; the subnormal check runs afterwards, in vector lanes.
        const auto withPhase = std::min (steps.count, n);
        int i = 1;

        if (withPhase > 0)
            steps.take (0, phase);

        if (steps.list != nullptr)
        {
            for (; i < withPhase; ++i)
            {
                s = __builtin_fmaf (s, 0.5f, x[i]);
                sums[i] = s;
                steps.list[i] = phase;
                phase = steps.after (phase);
            }
        }
        else
        {
            for (; i < withPhase; ++i)
            {
                s = __builtin_fmaf (s, 0.5f, x[i]);
                sums[i] = s;
                phase = steps.after (phase);
            }
        }

        for (; i < n; ++i)
        {
            s = __builtin_fmaf (s, 0.5f, x[i]);
            sums[i] = s;
        }

        steps.phase = phase;

        // Every sum that was halved (all but the last) must have been normal or zero.
        auto nearSubnormal = 0;

        for (int k = 0; k < n - 1; ++k)
            nearSubnormal |= static_cast<int> (std::abs (sums[k]) < 0x1p-125f) & static_cast<int> (sums[k] != 0.0f);

        return nearSubnormal == 0;
    }
#endif

    /** sums[i] = lp + x[i] along the chain, i in [0, n), and the phase steps; returns the
        filter's new state.
    */
    float runFilterChain (bool fused, const float* x, float* sums, int n, float lp, PhaseSteps& steps) noexcept
    {
        if (n <= 0)
            return lp;

#if HALVORA_X86_PATHS
        if (fused)
        {
            // If the fused chain cannot be trusted, the phase steps are taken all the same.
            if (! fusedSums (x, sums, n, lp, steps))
            {
                PhaseSteps none;
                plainSums (x, sums, n, lp, none);
            }

            return sums[n - 1] * 0.5f;
        }
#else
        static_cast<void> (fused);
#endif

        return plainSums (x, sums, n, lp, steps);
    }
} // namespace

void ToneStage::prepare (const StageSetup& setup)
{
    sampleRate = setup.sampleRate;
    toneState.assign (static_cast<size_t> (std::max (0, setup.numChannels)), 0.0f);
    vibratoPhase = 0.0f;
}

void ToneStage::reset() noexcept
{
    std::fill (toneState.begin(), toneState.end(), 0.0f);
    vibratoPhase = 0.0f;
}

bool ToneStage::useVectorPath (VectorPath newPath) noexcept
{
    if (! VectorPaths::isAvailable (newPath))
        return false;

    path = newPath;
    fusedLowPass = (newPath == VectorPath::avx2 || newPath == VectorPath::avx512) && VectorPaths::hasFusedMultiplyAdd();
    return true;
}

void ToneStage::process (juce::AudioBuffer<float>& buffer, const Settings& settings)
{
    if (toneState.size() < static_cast<size_t> (buffer.getNumChannels()))
        toneState.assign (static_cast<size_t> (buffer.getNumChannels()), 0.0f);

    const auto f = clampBetween (-1.0f, 1.0f, settings.formantAmount);
    const auto saturation = f < 0.0f ? -f : 0.0f;
    const auto darkening = f > 0.0f ? f : 0.0f;
    // Full saturation drives the tanh five times harder than none: from gentle rounding
    // at the first step to a nearly square wave.
    const auto drive = 4.0f * saturation + 1.0f;

    // The saturated sound never drops below 30 % of the mix, so even a small step away
    // from 0 is heard; at full saturation it is 100 %.
    const auto saturationMix = 0.7f * saturation + 0.3f;

    // Full depth swings the level by half either way (from 0.5 to 1.5 times).
    const auto vibratoDepth = clampBetween (0.0f, 1.0f, settings.vibratoDepthPercent / 100.0f) * 0.5f;
    const auto phaseIncrement = static_cast<float> (static_cast<double> (settings.vibratoRateHz) * 6.283185307179586 / sampleRate);

    const auto& range = vocalRanges[static_cast<size_t> (settings.rangeIndex)];
    const auto highWeight = range.highWeight;
    const auto lowWeight = range.lowWeight;
    const auto gain = settings.gainFactor;
    const auto norm = saturation > 0.0f ? 1.0f / VectorMath::tanh (drive) : 0.0f;
    const auto numSamples = buffer.getNumSamples();

    // With no vibrato depth the factor s * 0 + 1 is exactly 1 for any finite sine, so the
    // sine need not be computed: the same bits come out.
    const auto sinesNeeded = vibratoDepth != 0.0f;

    // In chunks, so that the sines and the tanh run over whole arrays in vector lanes
    // instead of one library call per sample inside the filter loop. Every channel swings
    // with the same vibrato, so one sine per sample serves them all.
    //
    // The phases form a chain of dependent additions, and so does each channel's filter.
    // Rather than walking the phase chain in a loop of its own, the first channel's loop
    // lists the next chunk's phases beside its filter, so the two chains overlap.
    auto phase = vibratoPhase; // the phase of the first sample not yet listed
    auto* phases = vibratoPhases.data();
    const PhaseSteps listing { 0.0f, phaseIncrement, phases, 0 };

    if (sinesNeeded)
        for (int i = 0; i < std::min (toneChunkLength, numSamples); ++i)
            listing.take (i, phase);

    for (int start = 0; start < numSamples; start += toneChunkLength)
    {
        const auto length = std::min (toneChunkLength, numSamples - start);
        const auto nextLength = std::min (toneChunkLength, numSamples - start - length);
        auto* sines = vibratoSines.data();

        if (sinesNeeded)
        {
            if (path)
                VectorMath::sin (phases, sines, length, *path);
            else
                VectorMath::sin (phases, sines, length);
        }

        for (int c = 0; c < buffer.getNumChannels(); ++c)
        {
            auto* samples = buffer.getWritePointer (c) + start;
            auto* shaped = saturatedSamples.data();

            // The low band: lp = (lp + x) * 0.5, the mean of each sample and the band's last
            // value, a gentle one-pole low-pass (3 dB down near 0.115 of the sample rate,
            // about 5 kHz at 44.1 kHz) that the range's weights set against the rest.
            auto lp = toneState[static_cast<size_t> (c)];

            if (saturation > 0.0f)
            {
                for (int i = 0; i < length; ++i)
                    shaped[i] = drive * samples[i];

                if (path)
                    VectorMath::tanh (shaped, shaped, length, *path);
                else
                    VectorMath::tanh (shaped, shaped, length);
            }

            // The first channel moves the phase on: by the next chunk's samples when the
            // sines need listing, by this chunk's when they are not needed at all.
            const auto phaseSteps = c != 0 ? 0 : (sinesNeeded ? nextLength : length);
            auto* sums = filterSums.data();

            PhaseSteps steps { phase, phaseIncrement, sinesNeeded ? phases : nullptr, phaseSteps };
            lp = runFilterChain (fusedLowPass, samples, sums, length, lp, steps);
            phase = steps.phase;

            // Everything else is sample by sample, in vector lanes.
            const auto colourAll = [&] (auto colour) noexcept {
                for (int i = 0; i < length; ++i)
                {
                    const auto x = samples[i];
                    const auto low = sums[i] * 0.5f;
                    const auto y = low * lowWeight + (colour (x, low, i) - low) * highWeight;
                    const auto sine = sinesNeeded ? sines[i] : 0.0f;
                    samples[i] = ((sine * vibratoDepth + 1.0f) * y) * gain;
                }
            };

            if (saturation > 0.0f)
                colourAll ([&] (float x, float, int i) noexcept { return x * (1.0f - saturationMix) + shaped[i] * norm * saturationMix; });
            else if (darkening > 0.0f)
                colourAll ([&] (float x, float low, int) noexcept { return x * (1.0f - darkening) + darkening * low; });
            else
                colourAll ([] (float x, float, int) noexcept { return x; });

            toneState[static_cast<size_t> (c)] = lp;
        }

        // A block with no channels still moves the vibrato on.
        if (buffer.getNumChannels() == 0)
            for (int i = 0; i < (sinesNeeded ? nextLength : length); ++i)
                listing.take (i, phase);
    }

    vibratoPhase = phase;
}

} // namespace halvora
