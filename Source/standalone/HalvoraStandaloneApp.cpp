#include "HalvoraStandaloneApp.h"
#include "SettingsScreen.h"

#include <juce_audio_utils/juce_audio_utils.h>
#include <juce_gui_extra/juce_gui_extra.h>

#include <juce_audio_plugin_client/Standalone/juce_StandaloneFilterWindow.h>

#include <cstdlib>
#include <iostream>
#include <optional>

namespace
{
// Exit statuses, as the manual page lists them.
constexpr int exitNoDisplay = 1;
constexpr int exitUsageError = 2;

// The installed command's name: messages name what the user typed, not the build's app name.
constexpr const char* commandName = "halvora";

juce::String usageText()
{
    return juce::String ("Usage: ") + commandName + " [--help | --version]\n"
         + "Opens the Halvora vocal effect in a window of its own: the audio input runs through\n"
           "the effect to the audio output, on ALSA or JACK as chosen in its audio settings.\n"
           "Needs an X display (DISPLAY). Keeps its settings in ~/.config/Halvora.settings.\n"
           "\n"
           "Options:\n"
           "  -h, --help  print this help and exit\n"
           "  --version   print the version and exit\n";
}

juce::String versionText()
{
    return juce::String (commandName) + " " + JucePlugin_VersionString + " (JUCE " + juce::String (JUCE_MAJOR_VERSION) + "."
         + juce::String (JUCE_MINOR_VERSION) + "." + juce::String (JUCE_BUILDNUMBER) + ")\n";
}

/** Answers --help and --version, and refuses anything else, all before the app opens the
    display, the audio devices or its settings file, so that both work from any terminal.
    Returns the exit status when the app should stop here, nothing when it should start.
*/
std::optional<int> handleCommandLine (const juce::StringArray& args)
{
    // The first argument decides: an answer, or a refusal of it.
    if (args.isEmpty())
        return std::nullopt;

    const auto& arg = args[0];

    if (arg == "-h" || arg == "--help")
    {
        std::cout << usageText() << std::flush;
        return 0;
    }

    if (arg == "--version")
    {
        std::cout << versionText() << std::flush;
        return 0;
    }

    // The menu entry runs the app with no arguments, so none is taken as a file either.
    std::cerr << commandName << ": " << (arg.startsWithChar ('-') ? "unknown option '" : "unexpected argument '")
              << arg << "' (see --help)" << std::endl;
    return exitUsageError;
}

/** Why the window cannot be shown, or an empty string. Without a display the framework
    would run on with the audio devices open and no window to close, so the app stops
    instead. An unset DISPLAY is refused as such: the framework would quietly try ":0.0".
*/
juce::String findDisplayProblem()
{
    const auto* name = std::getenv ("DISPLAY");

    if (name == nullptr || *name == 0)
        return "cannot open the X display \"\" (is DISPLAY set?)";

    if (juce::Desktop::getInstance().getDisplays().displays.isEmpty())
        return "cannot open the X display \"" + juce::String (name) + "\"";

    return {};
}
} // namespace

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
    // Nothing has touched the display or the audio devices yet: the framework's start-up
    // only makes its message queue before calling this.
    auto status = handleCommandLine (getCommandLineParameterArray());

    if (! status.has_value())
    {
        if (const auto problem = findDisplayProblem(); problem.isNotEmpty())
        {
            std::cerr << commandName << ": " << problem << std::endl;
            status = exitNoDisplay;
        }
    }

    if (status.has_value())
    {
        setApplicationReturnValue (*status);
        quit();
        return;
    }

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

    const auto background = juce::LookAndFeel::getDefaultLookAndFeel().findColour (juce::ResizableWindow::backgroundColourId);
    mainWindow = std::make_unique<juce::StandaloneFilterWindow> (getApplicationName(), background, createPluginHolder());
    mainWindow->setVisible (true);
}

void HalvoraStandaloneApp::shutdown()
{
    // A quit from the terminal (Ctrl-C) comes straight here, past the window's close
    // button, which is where JUCE's app saves the effect's state; save it here too.
    if (mainWindow != nullptr)
        mainWindow->pluginHolder->savePluginState();

    mainWindow = nullptr;
    appProperties.saveIfNeeded();
}

void HalvoraStandaloneApp::systemRequestedQuit()
{
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
