#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace juce
{
class StandaloneFilterWindow;
class StandalonePluginHolder;
}

/** The standalone app: JUCE's own (the same window, holder and settings file,
    ~/.config/Halvora.settings on Linux), except that the settings file is checked before
    the framework reads it. A damaged one is moved aside and the app starts with its
    defaults instead of failing at every start. It also answers --help and --version, and
    stops with a message where there is no display rather than run on without a window.
*/
class HalvoraStandaloneApp final : public juce::JUCEApplication
{
public:
    HalvoraStandaloneApp();
    ~HalvoraStandaloneApp() override;

    //==============================================================================
    const juce::String getApplicationName() override;
    const juce::String getApplicationVersion() override;
    bool moreThanOneInstanceAllowed() override { return true; }
    void anotherInstanceStarted (const juce::String&) override {}

    void initialise (const juce::String& commandLine) override;
    void shutdown() override;
    void systemRequestedQuit() override;

    /** Where the settings live: the same place as with JUCE's own app. */
    static juce::PropertiesFile::Options settingsOptions();

private:
    //==============================================================================
    juce::PropertySet* settings();
    std::unique_ptr<juce::StandalonePluginHolder> createPluginHolder();

    juce::ApplicationProperties appProperties;
    std::unique_ptr<juce::PropertySet> unsavedSettings; // when a damaged file could not be moved aside
    std::unique_ptr<juce::StandaloneFilterWindow> mainWindow;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (HalvoraStandaloneApp)
};
