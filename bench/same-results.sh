#!/usr/bin/env bash
# Runs two builds of trelvo-tool on the same inputs and compares what they
# make, byte for byte: dump of both sides, search (with the swaps a search
# list causes), import, sync and export in every format but the dictionary
# one (its ID is drawn afresh). For a change meant to make the tool faster,
# not different.
#
#   bash bench/same-results.sh OLD_TOOL NEW_TOOL DICTIONARY EDITION WORDLIST SEARCHES
set -euo pipefail
if [ $# -ne 6 ]; then
  echo "usage: same-results.sh OLD_TOOL NEW_TOOL DICTIONARY EDITION WORDLIST SEARCHES" >&2
  exit 2
fi
old=$1 new=$2 dictionary=$3 edition=$4 words=$5 searches=$6
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
differences=0

# same NAME CMD...: runs CMD with @TOOL@ as each tool and @OUT@ as a file of
# its own; compares standard output and the file.
same() {
  local name=$1
  shift
  local side
  for side in old new; do
    local tool=$old
    if [ "$side" = new ]; then tool=$new; fi
    cp "$dictionary" "$work/$side.dsl"
    local args=()
    for a in "$@"; do
      a=${a//@TOOL@/$tool}
      a=${a//@DSL@/$work/$side.dsl}
      a=${a//@OUT@/$work/$side.out}
      args+=("$a")
    done
    rm -f "$work/$side.out"
    "${args[@]}" > "$work/$side.stdout" 2>&1 || echo "exit $?" >> "$work/$side.stdout"
    [ -f "$work/$side.out" ] || : > "$work/$side.out"
  done
  if cmp -s "$work/old.stdout" "$work/new.stdout" && cmp -s "$work/old.out" "$work/new.out" &&
     cmp -s "$work/old.dsl" "$work/new.dsl"; then
    echo "same       $name"
  else
    echo "DIFFERENT  $name"
    differences=$((differences + 1))
  fi
}

for side in 0 1; do
  same "dump --side $side" @TOOL@ dump @DSL@ --side "$side"
  same "search --side $side --from" @TOOL@ search @DSL@ --side "$side" --from "$searches"
done
same "import" @TOOL@ import @DSL@ "$words"
same "sync" @TOOL@ sync @DSL@ "$edition"
# The edition under another ID, for the merge that only imports.
charset() { "$old" info "$edition" | sed -n "s/^charset$1: //p"; }
"$old" dump "$edition" | "$old" make "$work/other.dsl" --name other --lang0 a --charset0 "$(charset 0)" \
  --lang1 b --charset1 "$(charset 1)" --id 0BADF00D
same "sync --import-only-ok" @TOOL@ sync @DSL@ "$work/other.dsl" --import-only-ok
for format in txt utf8 csv tbx tbx2019; do
  for side in 0 1; do
    same "export --format $format --side $side" @TOOL@ export @DSL@ @OUT@ --format "$format" --side "$side"
  done
done
same "export --translated-only" @TOOL@ export @DSL@ @OUT@ --translated-only

if [ "$differences" -ne 0 ]; then
  echo "$differences results differ" >&2
  exit 1
fi
