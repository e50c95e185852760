// Counts every heap allocation made on the audio thread while processBlock runs.

#include "processor/ProcessorFixture.h"
#include "HalvoraVocabulary.h"

#include "AllocationCounter.h"

//==============================================================================
struct StageCombination
{
    int channels;
    bool correction, echo, reverb;
    float formant;
};

class RealtimeAllocations : public DrivenProcessor, public testing::WithParamInterface<StageCombination>
{
};

TEST_P (RealtimeAllocations, NoneDuringProcessBlockAfterPrepare)
{
    const auto& c = GetParam();
    prepare (c.channels, 44100.0, 512);
    set (halvora::ParamID::range, 2.0f);
    set (halvora::ParamID::morvel, 1.0f);
    set (halvora::ParamID::formant, c.formant);
    set (halvora::ParamID::vibDepth, 30.0f);
    set (halvora::ParamID::delayMix, c.echo ? 40.0f : 0.0f);
    set (halvora::ParamID::reverbMix, c.reverb ? 40.0f : 0.0f);
    target (c.correction ? 3 : 0);

    // A voice off the C major scale, so the correction really resamples.
    const auto input = sine (277.18f * 0.98f, 1024, 44100.0, 0.5f, c.channels);
    juce::MidiBuffer midi;
    int shiftedBlocks = 0;

    // Announced size, smaller, odd, tiny, and up to twice the announced size.
    for (const auto n : { 512, 512, 100, 1, 63, 64, 333, 1024, 512, 1024 })
    {
        juce::AudioBuffer<float> block (c.channels, n);
        for (int ch = 0; ch < c.channels; ++ch)
            block.copyFrom (ch, 0, input, ch, 0, n);

        AllocationCounter::start();
        processor.processBlock (block, midi);
        EXPECT_EQ (AllocationCounter::stop(), 0) << "block of " << n;

        if (c.correction && n >= 64 && std::abs (block.getSample (0, n / 2) - input.getSample (0, n / 2)) > 1.0e-3f)
            ++shiftedBlocks;
    }

    if (c.correction)
    {
        EXPECT_GT (shiftedBlocks, 0);
    }
}

const StageCombination stageCombinations[] {
    { 1, false, false, false, 0.0f },
    { 1, true, false, false, 0.5f },
    { 1, true, true, false, -0.5f },
    { 1, true, true, true, 0.0f },
    { 1, false, false, true, 0.0f },
    { 2, false, false, false, 0.0f },
    { 2, true, false, false, -1.0f },
    { 2, false, true, false, 1.0f },
    { 2, false, false, true, 0.0f },
    { 2, true, true, true, -0.3f },
};

INSTANTIATE_TEST_SUITE_P (EveryStage, RealtimeAllocations, testing::ValuesIn (stageCombinations));

TEST (RealtimeAllocationCounter, SeesAllocations)
{
    AllocationCounter::start();
    auto* p = new std::vector<float> (100);
    const auto counted = AllocationCounter::stop();
    delete p;
    EXPECT_GE (counted, 1);
}
