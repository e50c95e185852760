#!/usr/bin/env bash
# The Markdown check passes on our Markdown and fails, each time for its own reason, on a
# copy of the README whose first heading lost the space after its hash or whose vibrato
# paragraph is indented into a code block: the two ways a code formatter once mangled it.
#   markdown-check.sh SOURCE_DIR
set -euo pipefail

root="$1"
check="$root/scripts/check-markdown"
readme="$root/README.md"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# Away from the source tree, so that only the style the check names applies.
cd "$work"

expect_pass () {
    local what="$1"
    shift
    if ! out="$("$check" "$@" 2>&1)"; then
        printf 'FAIL: the check refused %s:\n%s\n' "$what" "$out"
        exit 1
    fi
    echo "passes: $what"
}

# The check must refuse the file by naming the rule and the line.
expect_fail () {
    local what="$1" rule="$2" line="$3" file="$4"
    if out="$("$check" "$file" 2>&1)"; then
        printf 'FAIL: the check passed %s\n' "$what"
        exit 1
    fi
    if ! grep -q "$(basename "$file"):$line: $rule " <<< "$out"; then
        printf 'FAIL: the check refused %s, but not by %s on line %s:\n%s\n' "$what" "$rule" "$line" "$out"
        exit 1
    fi
    echo "fails by $rule on line $line: $what"
}

expect_pass "the README" "$readme"
expect_pass "every Markdown file of the tree"

[ "$(head -n 1 "$readme")" = "# Halvora" ] || { echo "FAIL: the README no longer starts with '# Halvora'"; exit 1; }
sed '1s/^# /#/' "$readme" > heading.md
expect_fail "a README starting with '#Halvora'" MD018 1 heading.md

# The paragraph from "The vibrato (" to the next blank line, pushed right by eight spaces.
first="$(grep -n -m 1 '^The vibrato (' "$readme" | cut -d: -f1)"
[ -n "$first" ] || { echo "FAIL: the README has no paragraph starting 'The vibrato ('"; exit 1; }
awk -v first="$first" 'FNR == first { inside = 1 } inside && $0 == "" { inside = 0 } { print (inside ? "        " : "") $0 }' \
    "$readme" > indented.md
expect_fail "a README whose vibrato paragraph is indented into a code block" MD046 "$first" indented.md
