#pragma once

/** The echo's delay at 44.1 kHz: 0.35 s is round (0.35 * 44100) = 15435 samples. The echo
    stage's own tests check that its first repeat lands there; every other test counts from
    this one figure.
*/
inline constexpr int echoDelayAt44100 = 15435;
