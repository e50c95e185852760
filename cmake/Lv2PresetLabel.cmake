# Run after JUCE's LV2 helper has written the bundle's manifest.ttl (cmake -D MANIFEST=... -P).
#
# The helper labels each preset with the processor's program name, which is empty, so hosts
# list a nameless preset. The Audio Unit layer shows that same unnamed program as "Untitled";
# the LV2 bundle gives its preset the same name.
file (READ "${MANIFEST}" ttl)
string (REGEX REPLACE "(a pset:Preset ;\n\tlv2:appliesTo <[^>]*> ;\n\trdfs:label )\"\"" "\\1\"Untitled\"" labelled "${ttl}")

if (NOT labelled STREQUAL ttl)
    file (WRITE "${MANIFEST}" "${labelled}")
endif()
