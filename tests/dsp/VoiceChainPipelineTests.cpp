// The voice chain as a whole, through its own interface: what every block goes through
// before and around the stages, against values worked out by hand.

#include "ChainRig.h"

#include <limits>

class VoiceChainPipeline : public ChainRig
{
};

TEST_F (VoiceChainPipeline, DegenerateBlocksComeBackUntouchedAndChangeNothing)
{
    // A twin that never sees the empty blocks must go on giving the same bits.
    prepare (2);
    snapshot.delayPercent = 50.0f;
    snapshot.vibratoDepthPercent = 50.0f;
    halvora::VoiceChain twin;
    twin.prepare ({ 44100.0, 512, 2 });

    auto warm = testutil::makeTestSignal (2, 512, 44100.0);
    auto twinWarm = warm;
    process (warm);
    twin.process (twinWarm, settings());
    const auto report = chain.getLastPitch();

    juce::AudioBuffer<float> empty (2, 0);
    process (empty);
    juce::AudioBuffer<float> noChannels (0, 128);
    process (noChannels);

    EXPECT_EQ (chain.getLastPitch().detectedHz, report.detectedHz);
    EXPECT_EQ (chain.getLastPitch().smoothedHz, report.smoothedHz);

    auto next = testutil::makeTestSignal (2, 512, 44100.0, 2);
    auto twinNext = next;
    process (next);
    twin.process (twinNext, settings());
    EXPECT_TRUE (identical (next, twinNext));
    EXPECT_EQ (chain.getLastPitch().smoothedHz, twin.getLastPitch().smoothedHz);
}

class VoiceChainDefaultsAtTenor : public ChainRig, public testing::WithParamInterface<std::tuple<int, int>>
{
};

TEST_P (VoiceChainDefaultsAtTenor, OutputEqualsInputUpToRounding)
{
    const auto [channels, block] = GetParam();
    prepare (channels);
    snapshot.rangeIndex = 2;
    const auto input = testutil::makeTestSignal (channels, 3000, 44100.0);
    const auto output = run (input, block);
    EXPECT_LT (maxDifference (input, output), 1.0e-6f);
}

INSTANTIATE_TEST_SUITE_P (ChannelsAndBlocks, VoiceChainDefaultsAtTenor,
                          testing::Combine (testing::Values (1, 2), testing::Values (1, 63, 512, 1000)));

TEST_F (VoiceChainPipeline, AnalysisSignalIsTheMeanOfTheFirstTwoChannels)
{
    prepare (2);
    juce::AudioBuffer<float> block (2, 128);
    juce::FloatVectorOperations::fill (block.getWritePointer (0), 1.0f, 128);
    juce::FloatVectorOperations::fill (block.getWritePointer (1), -1.0f, 128);
    process (block);

    const auto& analysis = chain.getLastAnalysisSignal();
    ASSERT_EQ (analysis.getNumSamples(), 128);
    for (int i = 0; i < 128; ++i)
        ASSERT_EQ (analysis.getSample (0, i), 0.0f);
    EXPECT_EQ (analysis.getNumChannels(), 1);

    auto mono = sine (300.0f, 100);
    prepare (1);
    const auto copy = mono;
    process (mono);
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ (chain.getLastAnalysisSignal().getSample (0, i), copy.getSample (0, i));
}

TEST_F (VoiceChainPipeline, TrackingWeightFollowsTheCorrectionStrength)
{
    for (const auto& [morvel, expected] : { std::pair { 1.0f, 308.7f }, std::pair { 0.0f, 231.525f } })
    {
        prepare (1, 44100.0, 1024);
        snapshot.morvel = morvel;
        correctionOn = true;

        snapshot.rangeIndex = 2; // Tenor
        auto first = sine (220.0f, 1024);
        process (first);
        EXPECT_FLOAT_EQ (chain.getLastPitch().smoothedHz, 220.5f);
        EXPECT_EQ (chain.getLastPitch().detectedHz, 220.5f);

        snapshot.rangeIndex = 0; // Soprano
        auto second = sine (440.0f, 512);
        process (second);
        EXPECT_EQ (chain.getLastPitch().detectedHz, 441.0f);
        EXPECT_FLOAT_EQ (chain.getLastPitch().smoothedHz, expected) << morvel;
    }
}

TEST (VoiceChainSilence, NonFiniteInputIsReadAsSilence)
{
    const auto render = [] (bool poison) {
        halvora::VoiceChain poisonedChain;
        poisonedChain.prepare ({ 44100.0, 256, 2 });
        auto snapshot = ChainRig::parameterDefaults();
        snapshot.delayPercent = 50.0f;
        snapshot.reverbPercent = 50.0f;
        snapshot.formant = -0.5f;
        snapshot.morvel = 1.0f;

        auto signal = testutil::makeTestSignal (2, 256 * 12, 44100.0, 11);
        const float bad[] { std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                            -std::numeric_limits<float>::infinity() };
        for (int k = 0; k < 3; ++k)
        {
            signal.setSample (0, 10 + 40 * k, poison ? bad[k] : 0.0f);
            signal.setSample (1, 77 + k, poison ? bad[k] : 0.0f);
        }

        return ChainRig::run (poisonedChain, signal, 256, halvora::VoiceChainSettings::from (snapshot, true));
    };

    const auto poisoned = render (true);
    const auto zeroed = render (false);

    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < poisoned.getNumSamples(); ++i)
            ASSERT_TRUE (std::isfinite (poisoned.getSample (c, i))) << c << " " << i;

    EXPECT_TRUE (ChainRig::identical (poisoned, zeroed));
}

TEST (VoiceChainLengths, AnyLengthWithOrWithoutPrepare)
{
    for (const bool prepared : { false, true })
    {
        for (const auto channels : { 1, 2, 3 })
        {
            halvora::VoiceChain chain;
            if (prepared)
                chain.prepare ({ 44100.0, 128, 2 });
            auto snapshot = ChainRig::parameterDefaults();
            snapshot.delayPercent = 50.0f;
            snapshot.reverbPercent = 50.0f;
            snapshot.vibratoDepthPercent = 50.0f;
            const auto settings = halvora::VoiceChainSettings::from (snapshot, true);

            for (const auto n : { 1, 2, 63, 64, 65, 300, 4096 })
            {
                auto block = testutil::makeTestSignal (channels, n, 44100.0, static_cast<juce::uint32> (n));
                chain.process (block, settings);
                for (int c = 0; c < channels; ++c)
                    for (int i = 0; i < n; ++i)
                        ASSERT_TRUE (std::isfinite (block.getSample (c, i)));
            }
        }
    }
}

TEST_F (VoiceChainPipeline, HandsTheFollowedPitchToTheCorrectionAndReportsIt)
{
    // The one wiring check of the correction (its snapping is the stage's own table): a
    // voice with a period of exactly 95 samples is detected at 44100 / 95 = 464.21 Hz,
    // note 69.90, which rounds to B flat, out of C major; A and B tie and A, below, wins,
    // so the block is replayed a semitone down at full strength.
    prepare (1);
    snapshot.rangeIndex = 2; // Tenor
    snapshot.morvel = 1.0f;
    correctionOn = true;

    auto block = sine (44100.0f / 95.0f, 512);
    process (block);
    const auto semitoneDown = static_cast<float> (std::pow (2.0, -1.0 / 12.0));
    const auto& report = chain.getLastPitch();
    EXPECT_EQ (report.detectedHz, 44100.0f / 95.0f);
    EXPECT_FLOAT_EQ (report.smoothedHz, 44100.0f / 95.0f); // taken whole, give or take the rounding of the blend
    EXPECT_NEAR (report.targetHz, 44100.0f / 95.0f * semitoneDown, 0.01f);
    EXPECT_NEAR (report.ratio, semitoneDown, 2.0e-5f);

    correctionOn = false; // no key or scale button lit
    process (block);
    EXPECT_EQ (chain.getLastPitch().targetHz, 0.0f);
    EXPECT_EQ (chain.getLastPitch().ratio, 1.0f);
}
