#pragma once

#include <string>

//==============================================================================
/** Text built to hurt a reader: a piece repeated, deep nesting, floods of attributes. Plain
    C++, so the hosts of our own that load the built plug-ins without the framework use the
    same floods as the framework-side tests.
*/
namespace testutil
{

inline std::string repeat (const std::string& piece, int times)
{
    std::string result;
    result.reserve (piece.size() * static_cast<size_t> (times));

    for (int i = 0; i < times; ++i)
        result += piece;

    return result;
}

inline std::string nest (const std::string& open, const std::string& close, int depth, const std::string& inner = {})
{
    return repeat (open, depth) + inner + repeat (close, depth);
}

inline std::string attributes (int count)
{
    std::string result;

    for (int i = 0; i < count; ++i)
        result += " a" + std::to_string (i) + "=\"1\"";

    return result;
}

} // namespace testutil
