// The one mapping from a block's parameter snapshot to each stage's settings, against
// values worked out by hand.

#include "dsp/VoiceChainSettings.h"

#include <gtest/gtest.h>

using halvora::ParameterSnapshot;
using halvora::VoiceChainSettings;

TEST (VoiceChainSettings, GainInDecibelsBecomesAFactorAndBelowMinus100IsSilence)
{
    ParameterSnapshot snapshot;

    snapshot.gainDb = 6.0f; // 10^(6 / 20)
    EXPECT_FLOAT_EQ (VoiceChainSettings::from (snapshot, false).tone.gainFactor, 1.9952623f);

    snapshot.gainDb = -24.0f; // 10^(-24 / 20)
    EXPECT_FLOAT_EQ (VoiceChainSettings::from (snapshot, false).tone.gainFactor, 0.063095734f);

    snapshot.gainDb = -100.0f;
    EXPECT_EQ (VoiceChainSettings::from (snapshot, false).tone.gainFactor, 0.0f);
}

TEST (VoiceChainSettings, TheMorvelActsOnlyWithKeyOrScaleLitAsTheSquareRootOfItsAmount)
{
    ParameterSnapshot snapshot;
    snapshot.morvel = 0.25f;

    const auto lit = VoiceChainSettings::from (snapshot, true);
    EXPECT_EQ (lit.tracking.correctionStrength, 0.5f);
    EXPECT_EQ (lit.correction.correctionStrength, 0.5f);

    const auto unlit = VoiceChainSettings::from (snapshot, false);
    EXPECT_EQ (unlit.tracking.correctionStrength, 0.0f);
    EXPECT_EQ (unlit.correction.correctionStrength, 0.0f);

    snapshot.morvel = 3.0f; // held to 1
    EXPECT_EQ (VoiceChainSettings::from (snapshot, true).correction.correctionStrength, 1.0f);
}

TEST (VoiceChainSettings, TheVibratoRateIsHeldToItsRangeAndTheRestPassesAsRead)
{
    ParameterSnapshot snapshot;
    snapshot.formant = -0.4f;
    snapshot.vibratoDepthPercent = 250.0f; // the tone stage holds the depth itself
    snapshot.vibratoRateHz = 20.0f;
    snapshot.delayPercent = 35.0f;
    snapshot.reverbPercent = 70.0f;
    snapshot.rangeIndex = 3;
    snapshot.keyIndex = 7;
    snapshot.scaleIndex = 2;

    const auto s = VoiceChainSettings::from (snapshot, true);
    EXPECT_EQ (s.tone.vibratoRateHz, 10.0f);
    EXPECT_EQ (s.tone.formantAmount, -0.4f);
    EXPECT_EQ (s.tone.vibratoDepthPercent, 250.0f);
    EXPECT_EQ (s.tone.rangeIndex, 3);
    EXPECT_EQ (s.tracking.rangeIndex, 3);
    EXPECT_EQ (s.correction.keyIndex, 7);
    EXPECT_EQ (s.correction.scaleIndex, 2);
    EXPECT_EQ (s.echo.mixPercent, 35.0f);
    EXPECT_EQ (s.reverb.mixPercent, 70.0f);

    snapshot.vibratoRateHz = 0.0f;
    EXPECT_EQ (VoiceChainSettings::from (snapshot, true).tone.vibratoRateHz, 0.1f);
}
