#include <gtest/gtest.h>

#include <juce_events/juce_events.h>

// The value-tree state and the editors need JUCE's message manager, as in a host.
int main (int argc, char** argv)
{
    juce::ScopedJuceInitialiser_GUI juce;
    testing::InitGoogleTest (&argc, argv);
    return RUN_ALL_TESTS();
}
