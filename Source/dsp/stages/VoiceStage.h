#pragma once

#include "dsp/Clamp.h"

#include <tuple>
#include <type_traits>
#include <utility>

namespace halvora
{

//==============================================================================
/** What every stage of the voice chain is prepared with: the host's sample rate (already
    one Halvora runs at), the longest block it must take without allocating, and how
    many channels it gets.
*/
struct StageSetup
{
    double sampleRate = 44100.0;
    int maximumBlockSize = 0;
    int numChannels = 0;
};

/** An amount knob's percent as a blend: 0 to 1, the dry signal's share 1 minus it. */
constexpr float blendFromPercent (float percent) noexcept
{
    return clampBetween (0.0f, 1.0f, percent / 100.0f);
}

/** The tests' one way into a stage's private state; every stage befriends it. */
struct StageAccess;

//==============================================================================
namespace detail
{
    template <typename Stage, typename Inputs, typename = void>
    struct StageShape : std::false_type
    {
    };

    template <typename Stage, typename... Inputs>
    struct StageShape<Stage, std::tuple<Inputs...>,
                      std::void_t<typename Stage::Settings,
                                  decltype (std::declval<Stage&>().prepare (std::declval<const StageSetup&>())),
                                  decltype (std::declval<Stage&>().reset()),
                                  decltype (std::declval<Stage&>().process (std::declval<Inputs>()...,
                                                                            std::declval<const typename Stage::Settings&>()))>>
        : std::true_type
    {
    };
} // namespace detail

/** True when Stage has the voice chain's stage shape: a Settings struct of its own,
    prepare (const StageSetup&), reset(), and process taking these inputs and then its
    Settings. Each stage checks itself with it, so the shape cannot drift.
*/
template <typename Stage, typename... Inputs>
inline constexpr bool hasStageShape = detail::StageShape<Stage, std::tuple<Inputs...>>::value;

} // namespace halvora
