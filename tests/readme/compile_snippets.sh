#!/usr/bin/env bash
# Compiles and links every ```cpp block of a Markdown file as a program of its own against the
# built lookup library, as a reader who copies it would: each must stand alone. A block that
# hosts the control through the Qt widgets must be, word for word, part of one of the examples
# in EXAMPLES_DIR, which the install tests build against the staged package.
#   compile_snippets.sh MARKDOWN OUTPUT_DIR COMPILER INCLUDE_DIR LIBRARY EXAMPLES_DIR [FLAGS]
set -euo pipefail
markdown=$1 output=$2 compiler=$3 include=$4 library=$5 examples=$6 flags=${7:-}

# Whether the snippet stands whole inside one of the examples.
in_an_example() {
    local text example
    text=$(cat "$1")
    for example in "$examples"/*.cpp; do
        [[ $(cat "$example") == *"$text"* ]] && return 0
    done
    return 1
}

rm -rf "$output"
mkdir -p "$output"
awk -v out="$output" '
    /^```cpp$/ { n++; file = sprintf("%s/snippet_%d.cpp", out, n); inside = 1; next }
    /^```/ && inside { inside = 0; close(file); next }
    inside { print > file }
' "$markdown"

count=0
for snippet in "$output"/snippet_*.cpp; do
    [[ -e $snippet ]] || break
    count=$((count + 1))
    if grep -q '^#include <ombrix/widgets/' "$snippet"; then
        in_an_example "$snippet" && continue
        echo "compile_snippets: $(basename "$snippet") of $markdown uses the widgets but is not" \
             "one of $examples, which the install tests build:" >&2
        cat -n "$snippet" >&2
        exit 1
    fi
    # Word splitting of the flags is intended.
    # shellcheck disable=SC2086
    "$compiler" -std=c++20 -Wall -Wextra -Werror $flags -I"$include" -o "${snippet%.cpp}" \
        "$snippet" "$library" ||
        { echo "compile_snippets: $(basename "$snippet") of $markdown does not build:" >&2
          cat -n "$snippet" >&2; exit 1; }
done
((count > 0)) || { echo "compile_snippets: no cpp snippet in $markdown" >&2; exit 1; }
echo "compile_snippets: $count snippets of $markdown build"
