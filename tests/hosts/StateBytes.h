#pragma once

// Saved states as the framework's VST3 wrapper frames them, written byte by byte so that a
// host test needs no framework: the plug-in's binary frame (magic, length, XML, a zero),
// then optionally the wrapper's trailer (a zero word, the private data, its size as a
// 64-bit word, "JUCEPrivateData").

#include <cstdint>
#include <optional>
#include <string>

namespace statebytes
{
inline std::string le32 (std::uint32_t v)
{
    std::string s;
    for (int i = 0; i < 4; ++i)
        s += static_cast<char> ((v >> (8 * i)) & 0xff);
    return s;
}

inline std::string le64 (std::uint64_t v)
{
    return le32 (static_cast<std::uint32_t> (v)) + le32 (static_cast<std::uint32_t> (v >> 32));
}

inline std::string gainState (const std::string& value)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><PARAMS><PARAM id=\"gain\" value=\"" + value + "\"/></PARAMS>";
}

inline std::string frame (const std::string& xml)
{
    return le32 (0x21324356) + le32 (static_cast<std::uint32_t> (xml.size() + 1)) + xml + std::string (1, '\0');
}

/** Null-terminated strings and the framework's compressed integers, as its tree writer lays them out. */
inline std::string cstr (const char* s)
{
    return std::string (s) + std::string (1, '\0');
}

inline const std::string privateType = cstr ("JUCEPrivateData");

/** What the wrapper writes: a tree with one bool property, Bypass. */
inline std::string bypassTree (bool bypassed)
{
    return privateType + "\x01\x01" + cstr ("Bypass") + "\x01\x01" + (bypassed ? "\x02" : "\x03") + std::string (1, '\0');
}

/** No properties, and a child count of 0x7fffffff that the generic reader reserves room for. */
inline std::string childrenBombTree()
{
    return privateType + std::string (1, '\0') + "\x04\xff\xff\xff\x7f";
}

/** One binary property announcing 2 GB. */
inline std::string binaryBombTree()
{
    return privateType + "\x01\x01" + cstr ("Bypass") + "\x04\xff\xff\xff\x7f\x08" + std::string (1, '\0');
}

/** Bypass as the integer 1 instead of a bool: not what the wrapper writes. */
inline std::string bypassAsIntegerTree()
{
    return privateType + "\x01\x01" + cstr ("Bypass") + "\x01\x05\x01" + le32 (1) + std::string (1, '\0');
}

inline std::string withTrailer (const std::string& state, const std::string& tree, std::optional<std::uint64_t> sizeWord = {})
{
    return state + le64 (0) + tree + le64 (sizeWord.value_or (tree.size())) + "JUCEPrivateData";
}

/** The 23 bytes of a trailer with nothing in front of it. */
inline std::string trailerOnly (std::uint64_t sizeWord)
{
    return le64 (sizeWord) + "JUCEPrivateData";
}

/** The gain value as a saved state spells it, or "" without one. */
inline std::string gainIn (const std::string& saved)
{
    const std::string key = "id=\"gain\" value=\"";
    const auto start = saved.find (key);

    if (start == std::string::npos)
        return {};

    const auto end = saved.find ('"', start + key.size());
    return end == std::string::npos ? std::string() : saved.substr (start + key.size(), end - start - key.size());
}
} // namespace statebytes

namespace statebytes
{
/** The framework's base64 flavour: the byte count, a dot, then six bits per character from
    its own alphabet, least significant bits first.
*/
inline const std::string base64Alphabet = ".ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+";

inline std::string toBase64 (const std::string& bytes)
{
    std::string text = std::to_string (bytes.size()) + ".";
    const auto numChars = (bytes.size() * 8 + 5) / 6;

    for (size_t i = 0; i < numChars; ++i)
    {
        unsigned value = 0;

        for (unsigned b = 0; b < 6; ++b)
        {
            const auto bit = i * 6 + b;
            if (bit / 8 < bytes.size() && ((static_cast<unsigned char> (bytes[bit / 8]) >> (bit % 8)) & 1u) != 0)
                value |= 1u << b;
        }

        text += base64Alphabet[value];
    }

    return text;
}

/** Decodes what toBase64 writes (and nothing else); "" for anything it does not recognise. */
inline std::string fromBase64 (const std::string& text)
{
    const auto dot = text.find ('.');

    if (dot == std::string::npos || dot == 0 || dot > 9)
        return {};

    std::string bytes (std::stoul (text.substr (0, dot)), '\0');

    for (size_t i = dot + 1; i < text.size(); ++i)
    {
        const auto value = base64Alphabet.find (text[i]);

        if (value == std::string::npos)
            return {};

        for (unsigned b = 0; b < 6; ++b)
        {
            const auto bit = (i - dot - 1) * 6 + b;
            if (bit / 8 < bytes.size() && ((value >> b) & 1u) != 0)
                bytes[bit / 8] = static_cast<char> (bytes[bit / 8] | (1 << (bit % 8)));
        }
    }

    return bytes;
}
} // namespace statebytes
