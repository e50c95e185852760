#pragma once

#include <cstddef>

/** What a saved state or a preset may hold before it reaches JUCE's XML reader.

    That reader recurses once per nesting level, and building a document from it checks
    every earlier attribute for each new one and grows attribute strings a few bytes at a
    time, so text built to be hostile (deep nesting, floods of attributes, keys or entity
    references) could run a host off its stack or keep it busy for minutes. Nothing Halvora
    or a hand edit writes comes anywhere near these limits: a state is two levels deep with
    two attributes per element, a preset three levels deep with a handful of keys.
*/
namespace XmlTextLimits
{
constexpr int maxDepth = 64; // open elements at once
constexpr int maxAttributesPerElement = 64;
constexpr int maxChildrenPerElement = 4096;   // a dictionary of 2048 entries
constexpr int maxNamesPerDocument = 8192;     // elements and attributes together
constexpr int maxReferencesPerAttribute = 64; // "&amp;", "&#60;" and the like
}

/** Checks text for JUCE's XML reader in one pass, without recursion, in time linear in
    its size. Returns nullptr if the text may be parsed, otherwise what is wrong with it.

    Refused besides the limits above: text that is not well-formed UTF-8 (the reader runs
    past the end of it), processing instructions other than the XML declaration (the
    reader loops for ever on some), entity references other than the five predefined and
    numeric ones (an unknown one makes the reader search the document type text again for
    every reference), a document type with declarations inside it, and markup the reader
    would not take anyway, names outside ASCII included. The text ends at `size` or at its
    first zero byte; after the root element only the references and processing
    instructions are checked, as the reader does not look further either.
*/
const char* findXmlTextProblem (const char* text, size_t size) noexcept;
