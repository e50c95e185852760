#!/usr/bin/env bash
# lilv, the library most Linux LV2 hosts use, finds the plug-in and reads its
# metadata without a warning: its URI, its audio ports, its eleven parameters, its
# version and its one preset, named "Untitled" as the Audio Unit layer names it.
set -euo pipefail

bundle_dir="$1"     # the folder holding Halvora.lv2
uri="$2"
version="$3"       # the project version, major.minor.micro
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

# LV2 versions are minor.micro; the release is the full version.
IFS=. read -r _ minor micro <<< "$version"
grep -q "lv2:minorVersion $minor ;" "$ttl" && grep -q "lv2:microVersion $micro ;" "$ttl" \
    && grep -q "doap:revision \"$version\" ;" "$ttl" || { echo "dsp.ttl does not carry version $version"; exit 1; }

# One preset, labelled "Untitled" in the manifest and so in every host's preset list.
manifest="$bundle_dir/Halvora.lv2/manifest.ttl"
[ "$(grep -c "a pset:Preset" "$manifest")" -eq 1 ] || { echo "expected exactly one preset"; cat "$manifest"; exit 1; }
grep -A3 "a pset:Preset" "$manifest" | grep -q 'rdfs:label "Untitled" ;' \
    || { echo "the preset is not labelled Untitled:"; cat "$manifest"; exit 1; }
if grep -q 'rdfs:label ""' "$manifest"; then echo "an empty label is left in manifest.ttl"; exit 1; fi
grep -A3 "Presets:" "$work/info" | grep -q "Untitled" || { echo "lv2info lists no preset Untitled:"; cat "$work/info"; exit 1; }

echo "lilv lists $uri $version with its ports, parameters and preset Untitled, no warnings"
