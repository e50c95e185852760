#pragma once

#include <juce_core/juce_core.h>

/** Apple's XML property-list format, the form of .aupreset files and Info.plist.
    Dictionaries come back as juce::DynamicObject (keys in file order), arrays as
    juce::Array<juce::var>, <integer> as int64, <real> as double, <data> as a
    juce::MemoryBlock, <string> as juce::String, <true/> and <false/> as bool.
*/
namespace PropertyList
{
/** Parses a whole document. On any fault (not XML, not a plist, wrong nesting,
    bad base64 or numbers, too large or too deep) returns a void var and says why.
*/
juce::var parse (const void* data, size_t size, juce::String& error);

/** Writes a document with Apple's header and layout. */
juce::String write (const juce::var& root);

/** Documents larger than this are refused unread. */
constexpr size_t maxDocumentSize = 16 * 1024 * 1024;
}
