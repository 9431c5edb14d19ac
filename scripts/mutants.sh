#!/usr/bin/env bash
# Plants the one-line faults of scripts/mutants.txt in the product, one at a time: rebuilds, runs the fast tests
# (everything but the real panels) and prints each fault no test caught. Run it before and after changing tests.
#   scripts/mutants.sh [PATTERN]     only the faults whose line holds PATTERN
# It works on the files of this tree and puts each back after its fault (and on Ctrl-C), and builds in
# build/mutants (where warnings are not errors, so a fault that leaves a name unused still builds): run it in a tree
# you are not editing (a `git worktree add` of your branch does).
set -uo pipefail
cd "$(dirname "$0")/.."
list=scripts/mutants.txt
build=build/mutants
pattern=${1:-}

# A fault left behind by an earlier run would be counted as caught by every later one.
if ! git diff --quiet -- src; then echo "mutants: src/ has uncommitted changes; run it on a clean tree"; exit 1; fi

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DBUILD_TESTING=ON -DTAVIX_BUILD_BENCH=OFF \
  -DTAVIX_BUILD_DATA=OFF -DCMAKE_COMPILE_WARNING_AS_ERROR=OFF >/dev/null || exit 1
cmake --build "$build" -j "$(nproc)" >/dev/null || { echo "mutants: the tree does not build as it is"; exit 1; }

saved=""
restore() { [ -n "$saved" ] && cp "$saved.orig" "$saved" && rm -f "$saved.orig"; saved=""; }
trap 'restore; exit 130' INT TERM

planted=0 caught=0 stale=0 survivors=()
# The list comes in on its own descriptor: a test that reads its standard input must not move through the list.
exec </dev/null
while IFS= read -r line <&3; do
  [[ -z $line || $line == \#* ]] && continue
  [[ -n $pattern && $line != *"$pattern"* ]] && continue
  IFS=$'\t' read -r file from to <<<"$line"
  if ! python3 - "$file" "$from" "$to" <<'EOF'
import pathlib, sys
path, old, new = pathlib.Path(sys.argv[1]), sys.argv[2].replace("¶", "\n"), sys.argv[3].replace("¶", "\n")
text = path.read_text()
if text.count(old) != 1:
    sys.exit(f"mutants: “{old}” is in {path} {text.count(old)} times, not once")
pathlib.Path(str(path) + ".orig").write_text(text)
path.write_text(text.replace(old, new))
EOF
  then stale=$((stale + 1)); continue; fi
  saved=$file
  planted=$((planted + 1))
  if ! cmake --build "$build" -j "$(nproc)" >/dev/null 2>&1; then
    echo "does not build (fix the list): $line"
  elif ctest --test-dir "$build" -E '^(e2e|install|layout)' --stop-on-failure -j "$(nproc)" --timeout 120 \
      >/dev/null 2>&1; then
    survivors+=("$line")
  else
    caught=$((caught + 1))
  fi
  restore
done 3<"$list"
cmake --build "$build" -j "$(nproc)" >/dev/null 2>&1

echo "mutants: $planted planted, $caught caught, ${#survivors[@]} survived, $stale no longer in the code (fix the list)"
for line in "${survivors[@]}"; do echo "  survived: $line"; done
[ ${#survivors[@]} -eq 0 ] && [ "$stale" -eq 0 ]
