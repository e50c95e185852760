#include "PropertyList.h"

#include "NumberText.h"
#include "XmlTextCheck.h"

#include <algorithm>

namespace PropertyList
{

namespace
{
    constexpr int maxDepth = 32;

    std::optional<juce::var> parseValue (const juce::XmlElement& element, int depth, juce::String& error);

    std::optional<juce::var> parseDictionary (const juce::XmlElement& element, int depth, juce::String& error)
    {
        auto object = std::make_unique<juce::DynamicObject>();
        const juce::XmlElement* pendingKey = nullptr;

        for (auto* child : element.getChildIterator())
        {
            if (pendingKey == nullptr)
            {
                if (! child->hasTagName ("key"))
                {
                    error = "a dictionary entry without a <key>";
                    return std::nullopt;
                }

                pendingKey = child;
                continue;
            }

            auto value = parseValue (*child, depth + 1, error);

            if (! value)
                return std::nullopt;

            const auto key = pendingKey->getAllSubText();

            if (key.isEmpty())
            {
                error = "an empty dictionary key";
                return std::nullopt;
            }

            // A key given twice is no dictionary a host writes; replacing the first value
            // would also make the framework compare two empty <data> blocks through a null
            // pointer.
            const juce::Identifier name (key);

            if (object->hasProperty (name))
            {
                error = "the key '" + key + "' given twice";
                return std::nullopt;
            }

            object->setProperty (name, *value);
            pendingKey = nullptr;
        }

        if (pendingKey != nullptr)
        {
            error = "a <key> without a value";
            return std::nullopt;
        }

        return juce::var (object.release());
    }

    std::optional<juce::var> parseValue (const juce::XmlElement& element, int depth, juce::String& error)
    {
        if (depth > maxDepth)
        {
            error = "nested too deeply";
            return std::nullopt;
        }

        if (element.hasTagName ("dict"))
            return parseDictionary (element, depth, error);

        if (element.hasTagName ("array"))
        {
            juce::Array<juce::var> items;

            for (auto* child : element.getChildIterator())
            {
                auto item = parseValue (*child, depth + 1, error);

                if (! item)
                    return std::nullopt;

                items.add (*item);
            }

            return juce::var (items);
        }

        const auto text = element.getAllSubText();

        if (element.hasTagName ("string"))
            return juce::var (text);

        if (element.hasTagName ("integer"))
        {
            const auto trimmed = text.trim();
            const auto digits = trimmed.startsWithChar ('-') || trimmed.startsWithChar ('+') ? trimmed.substring (1) : trimmed;

            // Eighteen digits always fit in 64 bits; the framework's reader does not check.
            if (digits.isEmpty() || digits.length() > 18 || ! digits.containsOnly ("0123456789"))
            {
                error = "a malformed <integer>";
                return std::nullopt;
            }

            return juce::var (trimmed.getLargeIntValue());
        }

        if (element.hasTagName ("real"))
        {
            const auto trimmed = text.trim();

            if (trimmed.isEmpty() || ! trimmed.containsOnly ("0123456789+-.eE"))
            {
                error = "a malformed <real>";
                return std::nullopt;
            }

            return juce::var (NumberText::readDouble (trimmed));
        }

        if (element.hasTagName ("true") || element.hasTagName ("false"))
            return juce::var (element.hasTagName ("true"));

        if (element.hasTagName ("data"))
        {
            // Built in a stream: a string grown a character at a time is copied whole at
            // each step, which makes a large <data> take time quadratic in its size.
            juce::MemoryOutputStream compactText;
            for (auto c : text)
                if (! juce::CharacterFunctions::isWhitespace (c))
                    compactText.appendUTF8Char (c);

            const auto compact = compactText.toUTF8();
            juce::MemoryOutputStream bytes;

            if ((compact.length() % 4) != 0 || ! juce::Base64::convertFromBase64 (bytes, compact))
            {
                error = "malformed base64 in <data>";
                return std::nullopt;
            }

            return juce::var (bytes.getMemoryBlock());
        }

        error = "an unknown element <" + element.getTagName() + ">";
        return std::nullopt;
    }

    juce::String escaped (const juce::String& text)
    {
        return text.replace ("&", "&amp;").replace ("<", "&lt;").replace (">", "&gt;");
    }

    void writeValue (juce::MemoryOutputStream& out, const juce::var& value, int indent)
    {
        const auto tabs = juce::String::repeatedString ("\t", indent);

        if (auto* object = value.getDynamicObject())
        {
            out << tabs << "<dict>\n";

            for (const auto& property : object->getProperties())
            {
                out << tabs << "\t<key>" << escaped (property.name.toString()) << "</key>\n";
                writeValue (out, property.value, indent + 1);
            }

            out << tabs << "</dict>\n";
        }
        else if (auto* items = value.getArray())
        {
            out << tabs << "<array>\n";

            for (const auto& item : *items)
                writeValue (out, item, indent + 1);

            out << tabs << "</array>\n";
        }
        else if (auto* block = value.getBinaryData())
        {
            out << tabs << "<data>\n";
            // Base64 is plain ASCII: cut in lines of 68 from its bytes, in one pass (taking each
            // line out of the UTF-8 string by index would walk it from the start every time).
            const auto encoded = juce::Base64::toBase64 (block->getData(), block->getSize()).toStdString();

            for (std::size_t i = 0; i < encoded.size(); i += 68)
                out << tabs << juce::String (encoded.data() + i, std::min<std::size_t> (68, encoded.size() - i)) << "\n";

            out << tabs << "</data>\n";
        }
        else if (value.isBool())
        {
            out << tabs << (static_cast<bool> (value) ? "<true/>\n" : "<false/>\n");
        }
        else if (value.isInt() || value.isInt64())
        {
            out << tabs << "<integer>" << juce::String (static_cast<juce::int64> (value)) << "</integer>\n";
        }
        else if (value.isDouble())
        {
            out << tabs << "<real>" << juce::String (static_cast<double> (value), 17) << "</real>\n";
        }
        else
        {
            out << tabs << "<string>" << escaped (value.toString()) << "</string>\n";
        }
    }
}

juce::var parse (const void* data, size_t size, juce::String& error)
{
    if (data == nullptr || size == 0)
    {
        error = "empty";
        return {};
    }

    if (size > maxDocumentSize)
    {
        error = "larger than " + juce::String (maxDocumentSize / (1024 * 1024)) + " MB";
        return {};
    }

    // Text that could run the framework's XML reader past its end, off the stack or into
    // quadratic time is refused before it gets there.
    if (auto* problem = findXmlTextProblem (static_cast<const char*> (data), size))
    {
        error = problem;
        return {};
    }

    const auto text = juce::String::fromUTF8 (static_cast<const char*> (data), static_cast<int> (size));
    juce::XmlDocument document (text);
    document.setEmptyTextElementsIgnored (true);
    const auto root = document.getDocumentElement();

    if (root == nullptr)
    {
        error = "not XML: " + document.getLastParseError();
        return {};
    }

    if (! root->hasTagName ("plist") || root->getNumChildElements() != 1)
    {
        error = "not a property list";
        return {};
    }

    auto value = parseValue (*root->getChildElement (0), 0, error);
    return value ? *value : juce::var();
}

juce::String write (const juce::var& root)
{
    // A stream grows its buffer by doubling; a String appended to line by line would copy
    // the whole text again for every line of a large data value.
    juce::MemoryOutputStream out;
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
           "<plist version=\"1.0\">\n";
    writeValue (out, root, 0);
    out << "</plist>\n";
    return out.toUTF8();
}

} // namespace PropertyList
