#include "SettingsCheck.h"
#include "state/NumberText.h"
#include "state/XmlTextCheck.h"

#include <sys/stat.h>

#include <cmath>
#include <cstdlib>
#include <algorithm>
#include <cstring>

namespace
{
// How much of the file the framework reads to find the root element.
constexpr size_t rootSearchBytes = 8192;

// The keys JUCE's standalone holder and window write, and nothing else.
constexpr const char* audioSetupKey = "audioSetup";
constexpr const char* filterStateKey = "filterState";
constexpr const char* shouldMuteInputKey = "shouldMuteInput";
constexpr const char* lastStateFileKey = "lastStateFile";
constexpr const char* windowXKey = "windowX";
constexpr const char* windowYKey = "windowY";

bool hasOnly (const juce::String& text, const char* allowed)
{
    return text.isNotEmpty() && text.containsOnly (allowed);
}

/** The alphabet of MemoryBlock::toBase64Encoding, which is not the usual one. */
bool isStateBase64Char (juce::juce_wchar c) noexcept
{
    return c == '.' || c == '+' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

/** "<size>.<characters>", exactly as toBase64Encoding writes it. The reader takes the size
    on trust and allocates it before looking at a single character, so the size has to be
    the one the characters hold.
*/
juce::String findFilterStateProblem (const juce::String& value)
{
    const auto dot = value.indexOfChar ('.');

    if (dot < 0)
        return "filterState has no '.' after its size";

    const auto sizeText = value.substring (0, dot);

    if (! hasOnly (sizeText, "0123456789") || sizeText.length() > 10 || (sizeText.length() > 1 && sizeText[0] == '0'))
        return "filterState's size \"" + sizeText.substring (0, 24) + "\" is not a plain number";

    const auto size = static_cast<juce::uint64> (sizeText.getLargeIntValue());

    if (size > static_cast<juce::uint64> (SettingsLimits::maxFileBytes))
        return "filterState's size " + sizeText + " is larger than the file";

    juce::uint64 characters = 0;

    for (auto p = value.getCharPointer() + (dot + 1); ! p.isEmpty(); ++p, ++characters)
        if (! isStateBase64Char (*p))
            return "filterState holds a character outside its alphabet";

    if (characters != (size * 8 + 5) / 6)
        return "filterState's size " + sizeText + " does not match its " + juce::String (characters) + " characters";

    return {};
}

juce::String findBoolProblem (const juce::String& key, const juce::String& value)
{
    for (auto* allowed : { "0", "1", "true", "false" })
        if (value.equalsIgnoreCase (allowed))
            return {};

    return key + " is not 0 or 1";
}

juce::String findWindowPositionProblem (const juce::String& key, const juce::String& value)
{
    const auto digits = value.startsWithChar ('-') ? value.substring (1) : value;

    if (! hasOnly (digits, "0123456789") || digits.length() > 7 || std::abs (value.getIntValue()) > SettingsLimits::maxWindowPosition)
        return key + " is not a window position";

    return {};
}

juce::String findTextProblem (const juce::String& what, const juce::String& value)
{
    if (value.length() > SettingsLimits::maxTextChars)
        return what + " is longer than " + juce::String (SettingsLimits::maxTextChars) + " characters";

    return {};
}

juce::String findSampleRateProblem (const juce::String& value)
{
    const auto rate = NumberText::readDouble (value);

    if (! hasOnly (value, "0123456789.eE+-") || value.length() > 24 || ! std::isfinite (rate) || rate <= 0.0
        || rate > SettingsLimits::maxSampleRate)
        return "audioSetup's sample rate \"" + value.substring (0, 24) + "\" is out of range";

    return {};
}

juce::String findBufferSizeProblem (const juce::String& value)
{
    if (! hasOnly (value, "0123456789") || value.length() > 6 || value.getIntValue() < 1
        || value.getIntValue() > SettingsLimits::maxBufferSize)
        return "audioSetup's buffer size \"" + value.substring (0, 24) + "\" is out of range";

    return {};
}

/** The device manager reads a channel mask one binary digit at a time into a BigInteger,
    shifting the whole number for each digit.
*/
juce::String findChannelMaskProblem (const juce::String& value)
{
    if ((value.isNotEmpty() && ! value.containsOnly ("01")) || value.length() > SettingsLimits::maxChannelBits)
        return "audioSetup's channel mask is not " + juce::String (SettingsLimits::maxChannelBits) + " binary digits or fewer";

    return {};
}

juce::String findMidiInputProblem (const juce::XmlElement& input)
{
    if (! input.hasTagName ("MIDIINPUT") || input.getNumChildElements() > 0)
        return "audioSetup holds an element other than MIDIINPUT";

    for (int i = 0; i < input.getNumAttributes(); ++i)
    {
        const auto& name = input.getAttributeName (i);

        if (name != "name" && name != "identifier")
            return "audioSetup's MIDIINPUT has an unknown attribute";

        if (auto problem = findTextProblem ("a MIDI input's " + name, input.getAttributeValue (i)); problem.isNotEmpty())
            return problem;
    }

    return {};
}

/** What AudioDeviceManager::createStateXml writes: nothing, or a DEVICESETUP element with
    the device names, rate, buffer size and channel masks and one MIDIINPUT element per
    MIDI input.
*/
juce::String findAudioSetupProblem (const juce::String& value)
{
    if (value.isEmpty())
        return {}; // no device was open

    const auto text = value.toRawUTF8();

    if (auto* problem = findXmlTextProblem (text, value.getNumBytesAsUTF8()))
        return "audioSetup's XML holds " + juce::String (problem);

    const auto setup = juce::XmlDocument::parse (value);

    if (setup == nullptr || ! setup->hasTagName ("DEVICESETUP"))
        return "audioSetup is not a DEVICESETUP element";

    for (int i = 0; i < setup->getNumAttributes(); ++i)
    {
        const auto& name = setup->getAttributeName (i);
        const auto& attribute = setup->getAttributeValue (i);
        juce::String problem;

        if (name == "audioDeviceRate")
            problem = findSampleRateProblem (attribute);
        else if (name == "audioDeviceBufferSize")
            problem = findBufferSizeProblem (attribute);
        else if (name == "audioDeviceInChans" || name == "audioDeviceOutChans")
            problem = findChannelMaskProblem (attribute);
        else if (name == "deviceType" || name == "audioDeviceName" || name == "audioInputDeviceName"
                 || name == "audioOutputDeviceName" || name == "defaultMidiOutput" || name == "defaultMidiOutputDevice")
            problem = findTextProblem ("audioSetup's " + name, attribute);
        else
            problem = "audioSetup has an unknown attribute";

        if (problem.isNotEmpty())
            return problem;
    }

    if (setup->getNumChildElements() > SettingsLimits::maxMidiInputs)
        return "audioSetup names more than " + juce::String (SettingsLimits::maxMidiInputs) + " MIDI inputs";

    for (auto* input : setup->getChildIterator())
        if (auto problem = findMidiInputProblem (*input); problem.isNotEmpty())
            return problem;

    return {};
}

juce::String findValueProblem (const juce::String& key, const juce::String& value)
{
    if (key == filterStateKey)
        return findFilterStateProblem (value);

    if (key == audioSetupKey)
        return findAudioSetupProblem (value);

    if (key == shouldMuteInputKey)
        return findBoolProblem (key, value);

    if (key == windowXKey || key == windowYKey)
        return findWindowPositionProblem (key, value);

    if (key == lastStateFileKey)
        return findTextProblem (key, value);

    return "an unknown key";
}

/** One VALUE element: a known key, once, and its value as PropertiesFile::loadAsXml takes
    it (the child element written out again, or the "val" attribute).
*/
/** True if text sits anywhere inside the element. The framework writes such an element
    back out as a single line before reading it again, and its writer dereferences a null
    line break for an element that follows text: the settings file would crash the app.
    Nothing the app writes has text there.
*/
bool holdsText (const juce::XmlElement& element)
{
    for (auto* child = element.getFirstChildElement(); child != nullptr; child = child->getNextElement())
        if (child->isTextElement() || holdsText (*child))
            return true;

    return false;
}

juce::String findEntryProblem (const juce::XmlElement& entry, juce::StringArray& keysSeen)
{
    if (entry.isTextElement())
        return "text between the values";

    if (! entry.hasTagName ("VALUE"))
        return "an element other than VALUE";

    for (int i = 0; i < entry.getNumAttributes(); ++i)
        if (entry.getAttributeName (i) != "name" && entry.getAttributeName (i) != "val")
            return "a VALUE with an unknown attribute";

    const auto key = entry.getStringAttribute ("name");

    if (keysSeen.contains (key))
        return "the key " + key.substring (0, 32).quoted() + " twice";

    keysSeen.add (key);
    auto* child = entry.getFirstChildElement();

    if (child != nullptr && (entry.getNumChildElements() > 1 || entry.hasAttribute ("val") || child->isTextElement()))
        return "a VALUE holding more than one value";

    if (child != nullptr && holdsText (*child))
        return "text inside a VALUE's element";

    const auto value = child != nullptr ? child->toString (juce::XmlElement::TextFormat().singleLine().withoutHeader())
                                        : entry.getStringAttribute ("val");

    if (auto problem = findValueProblem (key, value); problem.isNotEmpty())
        return problem == "an unknown key" ? "the unknown key " + key.substring (0, 32).quoted() : problem;

    return {};
}
} // namespace

juce::String findSettingsProblem (const void* data, size_t size)
{
    if (size > static_cast<size_t> (SettingsLimits::maxFileBytes))
        return "larger than 1 MiB";

    const auto* text = static_cast<const char*> (data);

    // PropertiesFile tries its binary forms before XML; the app only ever writes XML.
    if (size >= 4 && (std::memcmp (text, "PROP", 4) == 0 || std::memcmp (text, "CPRP", 4) == 0))
        return "in the binary form, which the app never writes";

    // The XML check stops at a zero byte where the file reader would not.
    if (size > 0 && std::memchr (text, 0, size) != nullptr)
        return "a zero byte in the text";

    if (auto* problem = findXmlTextProblem (text, size))
        return "its XML holds " + juce::String (problem);

    // The framework looks for the root element in the file's first 8 KiB only, and takes a
    // file whose root starts later as no settings at all (and writes over it at the next
    // save), so such a file is set aside instead.
    // The head is cut where a character starts: the framework's string functions step past
    // the end of a text that ends inside a character.
    const auto* start = text + (size >= 3 && std::memcmp (text, "\xef\xbb\xbf", 3) == 0 ? 3 : 0);
    const auto available = size - static_cast<size_t> (start - text);
    auto headSize = std::min (available, rootSearchBytes);

    while (headSize > 0 && headSize < available && (static_cast<unsigned char> (start[headSize]) & 0xc0) == 0x80)
        --headSize;

    const auto head = juce::String::fromUTF8 (start, static_cast<int> (headSize));
    const auto root = juce::XmlDocument (head).getDocumentElement (true);

    if (root == nullptr || ! root->hasTagName ("PROPERTIES"))
        return "no PROPERTIES element in its first 8 KiB";

    const auto document = juce::XmlDocument::parse (juce::String::fromUTF8 (text, static_cast<int> (size)));

    if (document == nullptr || ! document->hasTagName ("PROPERTIES") || document->getNumAttributes() > 0)
        return "not a PROPERTIES element";

    juce::StringArray keysSeen;

    for (auto* entry : document->getChildIterator())
        if (auto problem = findEntryProblem (*entry, keysSeen); problem.isNotEmpty())
            return problem;

    return {};
}

juce::String findSettingsFileProblem (const juce::File& file)
{
    struct stat info
    {
    };

    if (::stat (file.getFullPathName().toRawUTF8(), &info) != 0)
        return {}; // nothing there (a dangling link included): the app starts afresh

    if (! S_ISREG (info.st_mode))
        return "not a regular file";

    if (info.st_size > SettingsLimits::maxFileBytes)
        return "larger than 1 MiB";

    juce::FileInputStream in (file);

    if (! in.openedOk())
        return "cannot be read";

    // One byte more than allowed, in case the file has grown since.
    juce::MemoryBlock bytes;
    in.readIntoMemoryBlock (bytes, static_cast<ssize_t> (SettingsLimits::maxFileBytes + 1));
    return findSettingsProblem (bytes.getData(), bytes.getSize());
}
