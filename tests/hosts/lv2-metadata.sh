#!/usr/bin/env bash
# lilv, the library most Linux LV2 hosts use, finds the plug-in and reads its
# metadata without a warning: its URI, its audio ports and its eleven parameters.
set -euo pipefail

bundle_dir="$1"     # the folder holding Halvora.lv2
uri="$2"
export LV2_PATH="$bundle_dir"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

lv2ls > "$work/ls" 2> "$work/ls.err"
grep -qx "$uri" "$work/ls" || { echo "lv2ls does not list $uri:"; cat "$work/ls"; exit 1; }

lv2info "$uri" > "$work/info" 2> "$work/info.err"
if [ -s "$work/ls.err" ] || [ -s "$work/info.err" ]; then
    echo "lilv warned:"; cat "$work/ls.err" "$work/info.err"; exit 1
fi

for port in audio_in_1 audio_in_2 audio_out_1 audio_out_2; do
    grep -q "Symbol: *$port\$" "$work/info" || { echo "no audio port $port"; exit 1; }
done
grep -q "Name: *Halvora\$" "$work/info" || { echo "plug-in name missing"; exit 1; }

# The parameters are LV2 patch parameters of the plug-in.
ttl="$bundle_dir/Halvora.lv2/dsp.ttl"
for id in formant gain vibRate vibDepth delayMix reverbMix morvel range voice key scale; do
    grep -q "plug:$id ," "$ttl" || grep -q "plug:$id ;" "$ttl" || grep -q "plug:$id \\." "$ttl" \
        || { echo "parameter $id is not declared writable"; exit 1; }
done

echo "lilv lists $uri with its ports and parameters, no warnings"
