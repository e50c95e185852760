#!/usr/bin/env bash
# `cmake --install` lays out every format where Linux hosts and users look for it.
set -euo pipefail

build="$1"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" > /dev/null

for path in lib/lv2/Halvora.lv2/manifest.ttl lib/lv2/Halvora.lv2/libHalvora.so \
            lib/vst3/Halvora.vst3/Contents/x86_64-linux/Halvora.so lib/vst3/Halvora.vst3/Contents/Resources/moduleinfo.json \
            bin/Halvora bin/halvora-render; do
    [ -e "$prefix/$path" ] || { echo "missing after install: $path"; exit 1; }
done

"$prefix/bin/halvora-render" --list-params > /dev/null
echo "installed layout is complete"
