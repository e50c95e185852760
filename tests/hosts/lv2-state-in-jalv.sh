#!/usr/bin/env bash
# jalv restores saved state folders whose state string the framework's decoder once trusted
# ('-1.AAAA' asked for SIZE_MAX and aborted the host, '2000000000.A' for 2 GB): it must load
# the plug-in and exit cleanly, under an address-space limit so that a memory bomb fails.
set -euo pipefail

bundle_dir="$1"
uri="$2"
export LV2_PATH="$bundle_dir"
source "$(dirname "$0")/jack-dummy.sh" "halvora-state-$$"

failed=0
for value in "-1.AAAA" "2000000000.A"; do
    dir="$work/state-${value%%.*}"
    mkdir -p "$dir"
    # The two files jalv itself writes when it saves a state folder.
    cat > "$dir/manifest.ttl" <<TTL
@prefix lv2: <http://lv2plug.in/ns/lv2core#> .
@prefix pset: <http://lv2plug.in/ns/ext/presets#> .
@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .

<state.ttl>
    a pset:Preset ;
    lv2:appliesTo <$uri> ;
    rdfs:seeAlso <state.ttl> .
TTL
    cat > "$dir/state.ttl" <<TTL
@prefix lv2: <http://lv2plug.in/ns/lv2core#> .
@prefix pset: <http://lv2plug.in/ns/ext/presets#> .
@prefix state: <http://lv2plug.in/ns/ext/state#> .

<>
    a pset:Preset ;
    lv2:appliesTo <$uri> ;
    state:state [
        <$uri:StateString> "$value"
    ] .
TTL

    status=0
    # stdin stays open so jalv keeps running until it is interrupted.
    (ulimit -v 1048576; exec timeout --preserve-status -s INT 3 jalv -l "$dir" < <(sleep 10)) > "$work/jalv.log" 2>&1 || status=$?

    if [ "$status" -ne 0 ] || ! grep -q "JACK Name: *Halvora" "$work/jalv.log"; then
        echo "state string '$value': jalv exited with status $status"
        cat "$work/jalv.log"
        failed=1
    else
        echo "state string '$value': jalv loaded the state and exited cleanly"
    fi
done
exit "$failed"
