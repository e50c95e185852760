#!/usr/bin/env bash
# lilv, the library most Linux LV2 hosts use, finds the plug-in and reads its metadata
# without a warning: its URI, class, maintainer and features, its four audio ports, its
# eleven parameters as control ports (symbols, names, ranges, the choices' labels), its
# latency port, its UI and its one preset, named "Untitled" as the Audio Unit layer names
# it. The Turtle itself, read back by sordi, carries the version, writes the ranges as
# decimals, sets every parameter to its default in the preset, never makes the UI need the
# plug-in instance, and has no empty links.
set -euo pipefail

bundle_dir="$1"     # the folder holding Halvora.lv2
uri="$2"
version="$3"        # the project version, major.minor.micro
bundle="$bundle_dir/Halvora.lv2"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

fail() { echo "$*"; exit 1; }

# lilv names a plug-in's class from the LV2 core vocabulary, so that comes along; nothing
# else on the machine is loaded.
mkdir "$work/lv2"
ln -s "$(cd "$bundle" && pwd)" "$work/lv2/Halvora.lv2"
ln -s /usr/lib/lv2/core.lv2 "$work/lv2/core.lv2"
export LV2_PATH="$work/lv2"

lv2ls > "$work/ls" 2> "$work/ls.err"
grep -qxF "$uri" "$work/ls" || { echo "lv2ls does not list $uri:"; cat "$work/ls"; exit 1; }

lv2info "$uri" > "$work/info" 2> "$work/info.err"
if [ -s "$work/ls.err" ] || [ -s "$work/info.err" ]; then
    echo "lilv warned:"; cat "$work/ls.err" "$work/info.err"; exit 1
fi

#==============================================================================
# What lv2info says of the plug-in: a header field's values, one a line, sorted.
header_values()
{
    awk -v field="$1" '
        /^\tPort [0-9]+:$/ { exit }
        /^\t[A-Za-z][A-Za-z ]*:/ {
            name = substr($0, 2); sub(/:.*/, "", name); infield = (name == field)
            value = $0; sub(/^\t[^:]*: */, "", value)
            if (infield && value != "") print value
            next
        }
        infield && /^\t +[^ ]/ { value = $0; sub(/^\t +/, "", value); print value; next }
        { infield = 0 }' "$work/info" | sort
}

expect_header()
{
    local field="$1" expected="$2"
    [ "$(header_values "$field")" = "$expected" ] \
        || fail "lv2info's $field is \"$(header_values "$field" | paste -sd, -)\", not \"${expected//$'\n'/,}\""
}

expect_header "Name" "Halvora"
expect_header "Class" "Pitch Shifter Plugin"
expect_header "Author" "Halvora Audio"
expect_header "Has latency" "yes, reported by port 15"
expect_header "Required Features" "http://lv2plug.in/ns/ext/urid#map"
expect_header "Optional Features" "$(printf '%s\n' http://lv2plug.in/ns/ext/buf-size#boundedBlockLength \
                                                 http://lv2plug.in/ns/ext/options#options \
                                                 http://lv2plug.in/ns/lv2core#hardRTCapable | sort)"
expect_header "Extension Data" "http://lv2plug.in/ns/ext/state#interface"
expect_header "Presets" "Untitled"

grep -A3 -P "^\tUIs:$" "$work/info" | grep -qxP "\t\t$uri:UI" \
    && grep -A3 -P "^\tUIs:$" "$work/info" | grep -qxP "\t\t\tClass:  http://lv2plug.in/ns/extensions/ui#X11UI" \
    && grep -A3 -P "^\tUIs:$" "$work/info" | grep -qP "^\t\t\tBinary: file://.*/Halvora\.lv2/libHalvora\.so$" \
    || fail "lv2info shows no X11 UI $uri:UI in libHalvora.so"

#==============================================================================
# lv2info's ports as "index<TAB>field<TAB>value" lines, a field with several values (types,
# properties, scale points) once for each.
awk '
    /^\tPort [0-9]+:$/ { port = $0; gsub(/[^0-9]/, "", port); field = ""; next }
    port == "" { next }
    /^\t\t\t/ { value = $0; sub(/^\t+/, "", value); print port "\t" field "\t" value; next }
    /^\t\t[A-Z][A-Za-z ]*:/ {
        field = substr($0, 3); sub(/:.*/, "", field)
        value = $0; sub(/^\t\t[^:]*: */, "", value)
        if (value != "") print port "\t" field "\t" value
        next
    }
    /^\t\t +[^ ]/ { value = $0; sub(/^\t\t +/, "", value); print port "\t" field "\t" value }' "$work/info" > "$work/ports"

# A port's values for a field, sorted, comma-separated; URIs by what follows their '#'.
port_values()
{
    awk -F'\t' -v port="$1" -v field="$2" '$1 == port && $2 == field { print $3 }' "$work/ports" \
        | sed 's/^http:.*#//' | LC_ALL=C sort | paste -sd, -
}

expect_port()
{
    local port="$1" field="$2" expected="$3"
    [ "$(port_values "$port" "$field")" = "$expected" ] \
        || fail "lv2info's port $port has $field \"$(port_values "$port" "$field")\", not \"$expected\""
}

[ "$(cut -f1 "$work/ports" | sort -un | paste -sd, -)" = "$(seq -s, 0 17)" ] \
    || fail "lv2info does not show ports 0 to 17 and no others: $(cut -f1 "$work/ports" | sort -un | paste -sd, -)"

for port in 0 1 2 3; do
    if [ "$port" -lt 2 ]; then direction=In; else direction=Out; fi
    channel=$((port % 2 + 1))
    expect_port "$port" Type "AudioPort,${direction}putPort"
    expect_port "$port" Symbol "audio_${direction,,}_$channel"
    expect_port "$port" Name "Audio $direction $channel"
    expect_port "$port" Designation "$([ "$channel" -eq 1 ] && echo left || echo right)"
done

# The parameters in the processor's order. The continuous ones with their range and default
# as dsp.ttl writes them (decimals), and their unit; the choices, whose values 0, 1, ... are
# the labels in order, with 0 the default.
continuous="\
4|formant|Formant|-1.0|1.0|0.0|
5|gain|Gain (dB)|-24.0|24.0|0.0|db
6|vibRate|Vibrato Rate (Hz)|0.1|10.0|5.0|hz
7|vibDepth|Vibrato Depth (%)|0.0|100.0|0.0|pc
8|delayMix|Delay|0.0|100.0|0.0|pc
9|reverbMix|Reverb|0.0|100.0|0.0|pc
10|morvel|Morvel|0.0|1.0|0.5|"
choices="\
11|range|Range|Soprano,Alto,Tenor,Baritone,Bass
12|voice|Voice|Female,Male
13|key|Key|C,C#,D,D#,E,F,F#,G,G#,A,A#,B
14|scale|Scale|Major,Minor,Dorian,Mixolydian,Chromatic"

as_printed() { awk -v v="$1" 'BEGIN { printf "%f", v }'; }

while IFS='|' read -r port symbol name minimum maximum default unit; do
    expect_port "$port" Type "ControlPort,InputPort"
    expect_port "$port" Symbol "$symbol"
    expect_port "$port" Name "$name"
    expect_port "$port" Minimum "$(as_printed "$minimum")"
    expect_port "$port" Maximum "$(as_printed "$maximum")"
    expect_port "$port" Default "$(as_printed "$default")"
    expect_port "$port" Properties ""
    expect_port "$port" "Scale Points" ""
done <<< "$continuous"

while IFS='|' read -r port symbol name labels; do
    IFS=, read -r -a label <<< "$labels"
    points="$(for i in "${!label[@]}"; do echo "$i = \"${label[$i]}\""; done | LC_ALL=C sort | paste -sd, -)"
    expect_port "$port" Type "ControlPort,InputPort"
    expect_port "$port" Symbol "$symbol"
    expect_port "$port" Name "$name"
    expect_port "$port" Minimum "$(as_printed 0)"
    expect_port "$port" Maximum "$(as_printed $((${#label[@]} - 1)))"
    expect_port "$port" Default "$(as_printed 0)"
    expect_port "$port" Properties "enumeration,integer"
    expect_port "$port" "Scale Points" "$points"
done <<< "$choices"

expect_port 15 Type "ControlPort,OutputPort"
expect_port 15 Symbol "latency"
expect_port 15 Designation "latency"
expect_port 15 Properties "integer,notOnGUI,reportsLatency"

# The window's ON button travels to the plug-in that plays on an atom port hosts may leave out,
# and the plug-in answers the window's question on another.
expect_port 16 Type "AtomPort,InputPort"
expect_port 16 Symbol "on_target"
expect_port 16 Properties "connectionOptional,notOnGUI"
expect_port 17 Type "AtomPort,OutputPort"
expect_port 17 Symbol "on_target_report"
expect_port 17 Properties "connectionOptional,notOnGUI"

#==============================================================================
# The Turtle as read back by sordi, with the bundle's files under one fixed folder URI so
# links read the same wherever the bundle is.
base="file:///Halvora.lv2/"
for name in manifest dsp ui; do
    [ -f "$bundle/$name.ttl" ] || fail "$name.ttl is missing from the bundle"
    sordi -o ntriples "$bundle/$name.ttl" "$base$name.ttl" > "$work/$name.nt" 2> "$work/$name.err" \
        || { echo "sordi cannot read $name.ttl:"; cat "$work/$name.err"; exit 1; }
done

# No empty links, which a reader takes for the document itself, and no empty strings; every
# file a link names is in the bundle.
if grep -n '<>' "$bundle"/*.ttl; then fail "an empty link is left in the bundle's Turtle"; fi
for name in manifest dsp ui; do
    if grep -F -e "<$base$name.ttl>" -e "<$base>" -e '""' "$work/$name.nt"; then
        fail "$name.ttl links to itself or its folder, or holds an empty string"
    fi
done
cat "$work"/*.nt | grep -o "<${base}[^>]*>" | sed "s|^<${base}||; s|>\$||" | sort -u > "$work/linked"
while read -r file; do
    [ -f "$bundle/$file" ] || fail "the Turtle links to $file, which is not in the bundle"
done < "$work/linked"

# Properties of the nodes that carry an lv2:symbol (ports, the preset's port values) as
# "symbol<TAB>property<TAB>value<TAB>datatype", properties and links by their last segment.
symbol_facts()
{
    awk '
        {
            subject = $1; property = $2; gsub(/^<|>$/, "", property); sub(/.*[#\/]/, "", property)
            object = $0; sub(/^[^ ]+ [^ ]+ /, "", object); sub(/ \.$/, "", object)
            if (object ~ /^"/) {
                type = "string"
                if (match(object, /"\^\^<[^>]*>$/)) {
                    type = substr(object, RSTART + 4, RLENGTH - 5); sub(/.*[#\/]/, "", type)
                    object = substr(object, 1, RSTART)
                }
                value = substr(object, 2, length(object) - 2)
            } else {
                value = object; gsub(/^<|>$/, "", value); sub(/.*[#\/]/, "", value); type = "link"
            }
            n++; subjects[n] = subject; properties[n] = property; values[n] = value; types[n] = type
            if (property == "symbol") symbolOf[subject] = value
        }
        END { for (i = 1; i <= n; ++i) if (subjects[i] in symbolOf) print symbolOf[subjects[i]] "\t" properties[i] "\t" values[i] "\t" types[i] }' "$1"
}
symbol_facts "$work/dsp.nt" > "$work/ports.facts"
symbol_facts "$work/manifest.nt" > "$work/preset.facts"

expect_fact()
{
    grep -qxF "$(printf '%s\t%s\t%s\t%s' "$2" "$3" "$4" "$5")" "$work/$1.facts" \
        || fail "$1: $2 has no $3 $4 ($5); it has: $(grep -F "$2"$'\t'"$3"$'\t' "$work/$1.facts" | cut -f3,4 | tr '\t\n' '  ')"
}

while IFS='|' read -r port symbol name minimum maximum default unit; do
    expect_fact ports "$symbol" index "$port" integer
    expect_fact ports "$symbol" minimum "$minimum" decimal
    expect_fact ports "$symbol" maximum "$maximum" decimal
    expect_fact ports "$symbol" default "$default" decimal
    if [ -n "$unit" ]; then
        expect_fact ports "$symbol" unit "$unit" link
    elif grep -qP "^$symbol\tunit\t" "$work/ports.facts"; then
        fail "$symbol has a unit, and none was meant"
    fi
    expect_fact preset "$symbol" value "$default" decimal
done <<< "$continuous"

while IFS='|' read -r port symbol name labels; do
    IFS=, read -r -a label <<< "$labels"
    expect_fact ports "$symbol" index "$port" integer
    expect_fact ports "$symbol" minimum 0 integer
    expect_fact ports "$symbol" maximum $((${#label[@]} - 1)) integer
    expect_fact ports "$symbol" default 0 integer
    expect_fact preset "$symbol" value 0.0 decimal
done <<< "$choices"

expect_fact ports latency unit frame link

all_ids="$( (cut -d'|' -f2 <<< "$continuous"; cut -d'|' -f2 <<< "$choices") | sort)"
[ "$(cut -f1 "$work/preset.facts" | sort -u)" = "$all_ids" ] \
    || fail "the preset does not set exactly the eleven parameters: $(cut -f1 "$work/preset.facts" | sort -u | paste -sd, -)"

# The preset in the manifest, where hosts find its name without reading further.
has_triple() { grep -qxF "$2 ." "$work/$1.nt"; }
preset="<$uri:preset1>"
has_triple manifest "$preset <http://www.w3.org/1999/02/22-rdf-syntax-ns#type> <http://lv2plug.in/ns/ext/presets#Preset>" \
    && has_triple manifest "$preset <http://lv2plug.in/ns/lv2core#appliesTo> <$uri>" \
    && has_triple manifest "$preset <http://www.w3.org/2000/01/rdf-schema#label> \"Untitled\"" \
    || fail "manifest.ttl does not hold the preset $preset, labelled Untitled, for $uri"
[ "$(grep -c "<http://lv2plug.in/ns/ext/presets#Preset> \.\$" "$work/manifest.nt")" -eq 1 ] \
    || fail "manifest.ttl holds more than one preset"

# LV2 versions are minor.micro; the release is the full version.
IFS=. read -r _ minor micro <<< "$version"
integer="<http://www.w3.org/2001/XMLSchema#integer>"
has_triple dsp "<$uri> <http://lv2plug.in/ns/lv2core#minorVersion> \"$minor\"^^$integer" \
    && has_triple dsp "<$uri> <http://lv2plug.in/ns/lv2core#microVersion> \"$micro\"^^$integer" \
    || fail "dsp.ttl does not carry LV2 version $minor.$micro"
release="$(awk -v s="<$uri>" '$1 == s && $2 == "<http://usefulinc.com/ns/doap#release>" { print $3 }' "$work/dsp.nt")"
[ -n "$release" ] && has_triple dsp "$release <http://usefulinc.com/ns/doap#revision> \"$version\"" \
    || fail "dsp.ttl does not name release $version"

# What a plug-in browser shows beside the name, and under which licence it is offered.
grep -qP "^<\Q$uri\E> <http://www.w3.org/2000/01/rdf-schema#comment> \".*vocal.*\" \.$" "$work/dsp.nt" \
    || fail "dsp.ttl does not describe the plug-in"
has_triple dsp "<$uri> <http://usefulinc.com/ns/doap#license> <http://spdx.org/licenses/AGPL-3.0-only>" \
    || fail "dsp.ttl does not give the AGPL-3 licence"

# The UI embeds in the host's window and is idled by it; it takes the plug-in instance when a
# host offers it and never needs it, so hosts that run UIs in another process show it too.
ui_links()
{
    awk -v s="<$uri:UI>" -v p="<http://lv2plug.in/ns/lv2core#$1>" '$1 == s && $2 == p { print $3 }' "$work/ui.nt" \
        | sed 's/^<//; s/>$//' | LC_ALL=C sort | paste -sd, -
}
[ "$(ui_links requiredFeature)" = "http://lv2plug.in/ns/extensions/ui#idleInterface,http://lv2plug.in/ns/extensions/ui#parent" ] \
    || fail "the UI requires $(ui_links requiredFeature), not only the idle interface and a parent window"
[[ ",$(ui_links optionalFeature)," == *",http://lv2plug.in/ns/ext/instance-access,"* ]] \
    || fail "the UI does not take the plug-in instance as an optional feature: $(ui_links optionalFeature)"
[ "$(ui_links extensionData)" = "http://lv2plug.in/ns/extensions/ui#idleInterface" ] \
    || fail "the UI offers $(ui_links extensionData), not the idle interface"
has_triple ui "<$uri:UI> <http://www.w3.org/1999/02/22-rdf-syntax-ns#type> <http://lv2plug.in/ns/extensions/ui#X11UI>" \
    || fail "ui.ttl does not describe an X11 UI"
# The UI asks the host for the plug-in's answers on the report port.
notification="$(awk -v s="<$uri:UI>" '$1 == s && $2 == "<http://lv2plug.in/ns/extensions/ui#portNotification>" { print $3 }' "$work/ui.nt")"
[ -n "$notification" ] \
    && has_triple ui "$notification <http://lv2plug.in/ns/extensions/ui#plugin> <$uri>" \
    && has_triple ui "$notification <http://lv2plug.in/ns/lv2core#symbol> \"on_target_report\"" \
    && has_triple ui "$notification <http://lv2plug.in/ns/extensions/ui#notifyType> <http://lv2plug.in/ns/ext/atom#Object>" \
    || fail "ui.ttl does not ask for notifications from the on_target_report port"

echo "lilv lists $uri $version with its ports, parameters, UI and preset Untitled, no warnings"
