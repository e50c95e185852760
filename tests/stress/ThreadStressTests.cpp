// Hosts automate every parameter from one thread while rendering on another, press ON
// buttons, save and restore state, and open and close editors, all at once. Nothing may
// race, deadlock, or put a non-finite sample out.

#include "helpers/TestHelpers.h"
#include "PluginEditor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace
{
constexpr int blocksToRender = 3000;

/** Runs a function on the message thread and waits for it. */
void onMessageThread (std::function<void()> function)
{
    juce::MessageManager::getInstance()->callFunctionOnMessageThread ([] (void* f) -> void* {
        (*static_cast<std::function<void()>*> (f))();
        return nullptr;
    },
                                                                      &function);
}
}

TEST (ThreadStress, RenderWhileEverythingElseHappensAtOnce)
{
    HalvoraAudioProcessor processor;
    processor.prepareToPlay (44100.0, 512);

    std::atomic<bool> renderingDone { false };
    std::atomic<int> nonFinite { 0 }, blocksDone { 0 };
    const auto params = processor.getParameters();

    // The audio thread: blocks of varying size over a voice-like signal.
    std::thread audio ([&] {
        const auto signal = testutil::makeTestSignal (2, 44100, 44100.0, 3);
        juce::AudioBuffer<float> block (2, 1024);
        juce::MidiBuffer midi;
        juce::Random sizes (1);

        for (int b = 0; b < blocksToRender; ++b)
        {
            const auto n = 1 + sizes.nextInt (1024);
            block.setSize (2, n, false, false, true);
            const auto start = (b * 997) % (44100 - n);

            for (int c = 0; c < 2; ++c)
                block.copyFrom (c, 0, signal, c, start, n);

            processor.processBlock (block, midi);

            for (int c = 0; c < 2; ++c)
                for (int i = 0; i < n; ++i)
                    if (! std::isfinite (block.getSample (c, i)))
                        nonFinite++;

            blocksDone++;
        }

        renderingDone = true;
    });

    // Host automation of every parameter.
    std::thread automation ([&] {
        juce::Random random (2);
        while (! renderingDone)
            for (auto* p : params)
                p->setValueNotifyingHost (random.nextFloat());
    });

    // ON buttons.
    std::thread buttons ([&] {
        juce::Random random (3);
        while (! renderingDone)
        {
            processor.setActiveMvTarget (static_cast<HalvoraAudioProcessor::MvTarget> (random.nextInt (5)));
            std::this_thread::yield();
        }
    });

    // Saving and restoring, as hosts do from their own threads.
    std::thread states ([&] {
        while (! renderingDone)
        {
            juce::MemoryBlock state;
            processor.getStateInformation (state);
            processor.setStateInformation (state.getData(), static_cast<int> (state.getSize()));
        }
    });

    // Editors open and close on the message thread (this one, running its loop) meanwhile,
    // driven from a thread of their own.
    std::atomic<int> editors { 0 };
    std::unique_ptr<juce::AudioProcessorEditor> editor;

    std::thread ui ([&] {
        while (! renderingDone)
        {
            onMessageThread ([&] { editor.reset (processor.createEditor()); });
            std::this_thread::sleep_for (std::chrono::milliseconds (2));
            onMessageThread ([&] { editor.reset(); ++editors; });
        }

        juce::MessageManager::getInstance()->stopDispatchLoop();
    });

    juce::MessageManager::getInstance()->runDispatchLoop();

    ui.join();
    audio.join();
    automation.join();
    buttons.join();
    states.join();

    EXPECT_EQ (blocksDone.load(), blocksToRender);
    EXPECT_EQ (nonFinite.load(), 0);
    EXPECT_GT (editors.load(), 0);

    // Every parameter is still on its range and step after the storm.
    for (auto* p : params)
    {
        auto* ranged = dynamic_cast<juce::RangedAudioParameter*> (p);
        const auto plain = ranged->convertFrom0to1 (ranged->getValue());
        EXPECT_EQ (ranged->getNormalisableRange().snapToLegalValue (plain), plain) << ranged->getParameterID();
    }
}
