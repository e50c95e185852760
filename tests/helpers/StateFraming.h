#pragma once

#include "state/SavedState.h"

#include <string>

namespace testutil
{
/** Text framed as a saved state travels (magic number, length, text, a zero byte), written
    by hand so that text the framework could not parse, or would rewrite, goes in as it is.
*/
inline juce::MemoryBlock frameStateText (const std::string& text)
{
    juce::MemoryOutputStream out;
    out.writeInt (static_cast<int> (SavedState::binaryXmlMagic));
    out.writeInt (static_cast<int> (text.size() + 1));
    out.write (text.data(), text.size());
    out.writeByte (0);
    return out.getMemoryBlock();
}
} // namespace testutil
