// The VST3 plug-in's audio as hosts hand it over, on a small host of ours (the SDK's
// interface headers alone): a stereo arrangement, and a mono one for which the host still
// passes the plug-in's full stereo buses, as Ardour 7 does on a mono track. The agreed
// channel must carry the processed sound either way; a channel outside the arrangement
// is cleared.

#include "Vst3MiniHost.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace Steinberg;

namespace
{
constexpr int32 blockSize = 512;
constexpr double sampleRate = 48000.0;

struct BusCase
{
    const char* name;
    Vst::SpeakerArrangement arrangement;
    bool secondChannelCarriesSound;
};

void PrintTo (const BusCase& c, std::ostream* os)
{
    *os << c.name;
}

float peakOf (const std::vector<float>& samples)
{
    float peak = 0.0f;

    for (const auto s : samples)
        peak = std::max (peak, std::abs (s));

    return peak;
}

class Vst3HostBuses : public testing::TestWithParam<BusCase>
{
};

TEST_P (Vst3HostBuses, TheAgreedChannelsCarryTheSound)
{
    const auto& c = GetParam();
    auto* component = vst3host::loadComponent (HALVORA_VST3_BINARY);
    ASSERT_NE (component, nullptr);

    Vst::IAudioProcessor* processor = nullptr;
    ASSERT_EQ (component->queryInterface (Vst::IAudioProcessor_iid, reinterpret_cast<void**> (&processor)), kResultOk);

    auto arrangement = c.arrangement;
    EXPECT_EQ (processor->setBusArrangements (&arrangement, 1, &arrangement, 1), kResultTrue);

    Vst::ProcessSetup setup { Vst::kRealtime, Vst::kSample32, blockSize, sampleRate };
    ASSERT_EQ (processor->setupProcessing (setup), kResultOk);
    component->activateBus (Vst::kAudio, Vst::kInput, 0, true);
    component->activateBus (Vst::kAudio, Vst::kOutput, 0, true);
    ASSERT_EQ (component->setActive (true), kResultOk);
    processor->setProcessing (true);

    // The host's buses hold two channels whatever it agreed to, a sine in each.
    std::vector<float> in[2], out[2];
    float* inPointers[2];
    float* outPointers[2];

    for (int ch = 0; ch < 2; ++ch)
    {
        in[ch].assign (blockSize, 0.0f);
        out[ch].assign (blockSize, 1.0f);
        inPointers[ch] = in[ch].data();
        outPointers[ch] = out[ch].data();
    }

    float firstPeak = 0.0f, secondPeak = 0.0f;

    for (int block = 0; block < 8; ++block)
    {
        for (auto& channel : in)
            for (int i = 0; i < blockSize; ++i)
                channel[static_cast<size_t> (i)] = 0.25f * std::sin (0.06f * static_cast<float> (i + block * blockSize));

        Vst::AudioBusBuffers inputs {}, outputs {};
        inputs.numChannels = 2;
        inputs.channelBuffers32 = inPointers;
        outputs.numChannels = 2;
        outputs.channelBuffers32 = outPointers;

        Vst::ProcessData data {};
        data.processMode = Vst::kRealtime;
        data.symbolicSampleSize = Vst::kSample32;
        data.numSamples = blockSize;
        data.numInputs = 1;
        data.numOutputs = 1;
        data.inputs = &inputs;
        data.outputs = &outputs;

        ASSERT_EQ (processor->process (data), kResultOk);
        firstPeak = peakOf (out[0]);
        secondPeak = peakOf (out[1]);
    }

    EXPECT_GT (firstPeak, 0.05f);

    if (c.secondChannelCarriesSound)
        EXPECT_GT (secondPeak, 0.0f);
    else
        EXPECT_EQ (secondPeak, 0.0f);

    processor->setProcessing (false);
    component->setActive (false);
    processor->release();
    component->terminate();
    component->release();
}

INSTANTIATE_TEST_SUITE_P (Arrangements, Vst3HostBuses,
                          testing::Values (BusCase { "Stereo", Vst::SpeakerArr::kStereo, true },
                                           BusCase { "MonoWithStereoBuffers", Vst::SpeakerArr::kMono, false }),
                          [] (const testing::TestParamInfo<BusCase>& param) { return std::string (param.param.name); });

} // namespace
