#!/usr/bin/env bash
# An installed tree moved elsewhere still works: every installed program and library that needs
# one of our shared libraries finds it inside the moved tree, not where it was installed.
#   moved_install.sh STAGE WORK
set -euo pipefail
stage=$1 work=$2

rm -rf "$work"
mkdir -p "$work"
cp -a "$stage" "$work/moved"
moved=$(cd "$work/moved" && pwd)

checked=0
while IFS= read -r -d '' file; do
    file -b "$file" | grep -q '^ELF' || continue
    while read -r needed _ resolved _; do
        [[ $needed == libombrix* ]] || continue
        checked=$((checked + 1))
        if [[ $resolved != "$moved"/* ]]; then
            echo "moved_install: ${file#"$moved"/} finds $needed at ${resolved:-nothing}" >&2
            exit 1
        fi
    done < <(env -u LD_LIBRARY_PATH ldd "$file" 2>/dev/null || true)
done < <(find "$moved" -type f \( -path '*/bin/*' -o -name '*.so*' \) -print0)
((checked > 0)) || { echo "moved_install: nothing installed links our libraries" >&2; exit 1; }
echo "moved_install: $checked links to our libraries resolve inside the moved tree"
