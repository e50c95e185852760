#!/usr/bin/env bash
# The LV2 and VST3 builds, run by JUCE's own hosting code, give sample for sample what
# halvora-render gives with the same settings and block size.
set -euo pipefail

host_check="$1"; render="$2"; lv2_bundle="$3"; vst3_bundle="$4"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# A sung-like stereo input made from the demo vocal (the hosts run the plug-in stereo).
"$render" -q --demo --demo-input "$work/mono.wav" "$work/unused.wav"
"$host_check" --make-stereo "$work/mono.wav" "$work/stereo.wav"

# Every parameter the hosts can reach (the ON buttons live in the editor, so correction
# stays off), as normalised values that land exactly on their plain values.
normalised=(gain=0.75 formant=0.25 vibDepth=0.3 vibRate=0.5 delayMix=0.4 reverbMix=0.4 range=0.5 key=0.5454545 scale=0.25)
plain=(-p gain=12 -p formant=-0.5 -p vibDepth=30 -p vibRate=5.05 -p delayMix=40 -p reverbMix=40 -p range=Tenor -p key=F# -p scale=Dorian)

for block in 512 333; do
    "$render" -q --block "$block" "${plain[@]}" "$work/stereo.wav" "$work/reference-$block.wav"

    "$host_check" LV2 "$lv2_bundle" "$work/stereo.wav" "$work/lv2-$block.wav" "$block" "${normalised[@]}"
    "$host_check" VST3 "$vst3_bundle" "$work/stereo.wav" "$work/vst3-$block.wav" "$block" "${normalised[@]}"

    for format in lv2 vst3; do
        if ! cmp -s "$work/reference-$block.wav" "$work/$format-$block.wav"; then
            echo "$format output differs from halvora-render at block size $block"
            cmp "$work/reference-$block.wav" "$work/$format-$block.wav" | head -n 3 || true
            exit 1
        fi
    done
    echo "block $block: LV2 and VST3 match halvora-render sample for sample"
done
