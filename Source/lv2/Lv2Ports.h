#pragma once

#include "HalvoraVocabulary.h"

#include <cstdint>

/** The LV2 plug-in's ports, by index: what the plug-in, its UI and the metadata generator
    share, so that an index means the same port everywhere. Plain data only.

    The audio ports keep the symbols the first LV2 bundle gave them, so hosts reconnect
    saved sessions; each parameter is an input control port whose symbol is its ID, in the
    vocabulary's order.
*/
namespace halvora::lv2
{

enum PortIndex : std::uint32_t
{
    audioIn1 = 0,
    audioIn2 = 1,
    audioOut1 = 2,
    audioOut2 = 3,
    firstControl = 4,
    latency = firstControl + static_cast<std::uint32_t> (parameterIDs.size()),
    onTarget,       // an atom input: the ON button the window lit, or its question (Lv2OnTarget.h)
    onTargetReport, // an atom output: the plug-in's answer, the ON target it plays with
    numPorts
};

inline constexpr const char* audioPortSymbols[4] { "audio_in_1", "audio_in_2", "audio_out_1", "audio_out_2" };
inline constexpr const char* latencyPortSymbol = "latency";
inline constexpr const char* onTargetPortSymbol = "on_target";
inline constexpr const char* onTargetReportPortSymbol = "on_target_report";

/** The port of the parameter at `parameterIndex` in parameterIDs. */
constexpr std::uint32_t controlPortFor (std::size_t parameterIndex) noexcept
{
    return firstControl + static_cast<std::uint32_t> (parameterIndex);
}

constexpr bool isControlPort (std::uint32_t port) noexcept
{
    return port >= firstControl && port < latency;
}

/** Without the host's maximum block length, the processor is prepared for blocks of this
    many samples and longer runs are processed in pieces of it.
*/
inline constexpr std::uint32_t defaultMaxBlock = 4096;

/** The largest maximum block length a host may announce that the processor is prepared
    for; hosts announcing more get their runs processed in pieces of this size.
*/
inline constexpr std::uint32_t largestMaxBlock = 65536;

/** Property keys of the plug-in's saved state, under the plug-in's URI. The first bundle
    saved its state as size-prefixed base64 text under the legacy key; it is still read.
*/
inline constexpr const char* stateKeySuffix = ":state";
inline constexpr const char* legacyStateKeySuffix = ":StateString";

} // namespace halvora::lv2
