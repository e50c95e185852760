#include "HalvoraStandaloneApp.h"
#include "SettingsScreen.h"

#include <juce_audio_utils/juce_audio_utils.h>
#include <juce_gui_extra/juce_gui_extra.h>

#include <juce_audio_plugin_client/Standalone/juce_StandaloneFilterWindow.h>

#include <iostream>

HalvoraStandaloneApp::HalvoraStandaloneApp()
{
    appProperties.setStorageParameters (settingsOptions());
}

HalvoraStandaloneApp::~HalvoraStandaloneApp() = default;

juce::PropertiesFile::Options HalvoraStandaloneApp::settingsOptions()
{
    juce::PropertiesFile::Options options;
    options.applicationName = juce::CharPointer_UTF8 (JucePlugin_Name);
    options.filenameSuffix = ".settings";
    options.osxLibrarySubFolder = "Application Support";
#if JUCE_LINUX || JUCE_BSD
    options.folderName = "~/.config";
#endif
    return options;
}

const juce::String HalvoraStandaloneApp::getApplicationName()
{
    return juce::CharPointer_UTF8 (JucePlugin_Name);
}

const juce::String HalvoraStandaloneApp::getApplicationVersion()
{
    return JucePlugin_VersionString;
}

//==============================================================================
void HalvoraStandaloneApp::initialise (const juce::String&)
{
    // ApplicationProperties reads the file on first use, which is the holder's creation:
    // so this is the last moment to look at it first.
    const auto file = settingsOptions().getDefaultFile();
    const auto screening = screenSettingsFile (file);

    if (! screening.isReadable())
    {
        std::cerr << getApplicationName() << ": " << screening.describe (file) << std::endl;

        if (! screening.moved)
            unsavedSettings = std::make_unique<juce::PropertySet>();
    }

    if (juce::Desktop::getInstance().getDisplays().displays.isEmpty())
    {
        pluginHolder = createPluginHolder();
        return;
    }

    mainWindow = std::make_unique<juce::StandaloneFilterWindow> (getApplicationName(),
                                                                 juce::LookAndFeel::getDefaultLookAndFeel().findColour (juce::ResizableWindow::backgroundColourId),
                                                                 createPluginHolder());
    mainWindow->setVisible (true);
}

void HalvoraStandaloneApp::shutdown()
{
    // A quit from the terminal (Ctrl-C) comes straight here, past the window's close
    // button, which is where JUCE's app saves the effect's state; save it here too.
    if (mainWindow != nullptr)
        mainWindow->pluginHolder->savePluginState();

    pluginHolder = nullptr;
    mainWindow = nullptr;
    appProperties.saveIfNeeded();
}

void HalvoraStandaloneApp::systemRequestedQuit()
{
    if (pluginHolder != nullptr)
        pluginHolder->savePluginState();

    if (mainWindow != nullptr)
        mainWindow->pluginHolder->savePluginState();

    if (juce::ModalComponentManager::getInstance()->cancelAllModalComponents())
    {
        juce::Timer::callAfterDelay (100, [] {
            if (auto* app = juce::JUCEApplicationBase::getInstance())
                app->systemRequestedQuit();
        });
    }
    else
    {
        quit();
    }
}

//==============================================================================
juce::PropertySet* HalvoraStandaloneApp::settings()
{
    if (unsavedSettings != nullptr)
        return unsavedSettings.get();

    return appProperties.getUserSettings();
}

std::unique_ptr<juce::StandalonePluginHolder> HalvoraStandaloneApp::createPluginHolder()
{
#ifdef JucePlugin_PreferredChannelConfigurations
    constexpr juce::StandalonePluginHolder::PluginInOuts channels[] { JucePlugin_PreferredChannelConfigurations };
    const juce::Array<juce::StandalonePluginHolder::PluginInOuts> channelConfig (channels, juce::numElementsInArray (channels));
#else
    const juce::Array<juce::StandalonePluginHolder::PluginInOuts> channelConfig;
#endif

    return std::make_unique<juce::StandalonePluginHolder> (settings(), false, juce::String {}, nullptr, channelConfig, false);
}

//==============================================================================
juce::JUCEApplicationBase* juce_CreateApplication();

juce::JUCEApplicationBase* juce_CreateApplication()
{
    return new HalvoraStandaloneApp();
}
