// The Audio Unit preset dictionary read on its own, without a hosted unit around it.

#include "helpers/TestHelpers.h"

#include "state/AUPresetState.h"

#include "HalvoraVocabulary.h"

#include <gtest/gtest.h>

namespace ParamID = halvora::ParamID;

TEST (AUPresetState, CodesWrittenAsSignedNumbersAreTheSameCodes)
{
    // A host writes the codes as signed 32-bit numbers; a subtype with its top bit set
    // comes back negative and still names the same unit.
    const AudioComponentDescription highBit { kAudioUnitType_MusicDevice, 0x80000001u, fourCharCode ("Hlvr"), 0, 0 };
    HalvoraAudioProcessor processor;
    auto dictionary = AUPresetState::makeDictionary (processor, highBit, "High");
    dictionary.getDynamicObject()->setProperty ("subtype", static_cast<juce::int64> (static_cast<SInt32> (0x80000001u)));
    testutil::setPlain (processor, ParamID::gain, -5.0f);

    EXPECT_EQ (AUPresetState::restoreDictionary (processor, highBit, dictionary), noErr);
    EXPECT_FLOAT_EQ (testutil::getPlain (processor, ParamID::gain), 0.0f);
}
