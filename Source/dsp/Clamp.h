#pragma once

namespace halvora
{

/** The one clamp of the voice chain: a value below `lowest` becomes `lowest`, one above
    `highest` becomes `highest`, anything else (including -0 and NaN) passes unchanged.
    The stages only ever clamp finite values; NaN is turned into a number where it enters
    (the parameter snapshot, the saved-state reader), never here.
*/
template <typename Number>
constexpr Number clampBetween (Number lowest, Number highest, Number value) noexcept
{
    return value < lowest ? lowest : (highest < value ? highest : value);
}

} // namespace halvora
