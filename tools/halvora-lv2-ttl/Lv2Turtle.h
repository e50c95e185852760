#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

/** The Turtle terms the bundle's documents are made of, written the one way every reader
    takes them: numbers in the same form whatever the machine's locale, decimals always
    with a point (so no reader takes a parameter's range for integers), strings escaped,
    and no empty links (which a reader would resolve to the document itself).

    Each function throws std::invalid_argument for a term that cannot be written.
*/
namespace halvora::turtle
{

/** A string literal in double quotes. */
std::string stringLiteral (std::string_view text);

/** An xsd:decimal literal such as 0.1, -24.0 or 100.0: the shortest digits that read back
    as the same float, with a point. Throws for infinities and NaN.
*/
std::string decimal (float value);

/** An xsd:integer literal. */
std::string integer (std::int64_t value);

/** A link in angle brackets: an absolute URI or a file beside the document. Throws for an
    empty one.
*/
std::string link (std::string_view uri);

struct Prefix
{
    const char* name;
    const char* uri;
};

/** The @prefix lines that open a document, names aligned, then an empty line. */
std::string prefixLines (std::initializer_list<Prefix> prefixes);

} // namespace halvora::turtle
