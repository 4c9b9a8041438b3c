#!/usr/bin/env bash
# Times trelvo-tool against GNU sort and sqlite3 on generated dictionaries of
# 100,000 and 1,000,000 entries and prints one table, with the targets met or
# missed. TRELVO_BENCH_SIZES="1000000 10000000" adds the check that open,
# search and dump grow linearly (not in the default run: 10,000,000 entries
# take a few GB of disk and minutes to make). Builds what it needs into build-bench/ (Release) and keeps the data
# in build-bench/compare/.
#
#   bash bench/compare.sh
#
# TRELVO_BENCH_BUILD (build folder), TRELVO_BENCH_DATA (data folder),
# TRELVO_BENCH_SIZES (entry counts, "100000 1000000") and TRELVO_BENCH_RUNS
# (runs per figure, 3; the median is shown) change the defaults.
set -euo pipefail
export LC_ALL=C  # byte order for sort, and a decimal point in $EPOCHREALTIME

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${TRELVO_BENCH_BUILD:-$root/build-bench}
data=${TRELVO_BENCH_DATA:-$build/compare}
sizes=${TRELVO_BENCH_SIZES:-100000 1000000}
runs=${TRELVO_BENCH_RUNS:-3}
words=100000
searches=10000
tab=$'\t'

for needed in cmake ninja sqlite3 sort awk /usr/bin/time; do
  if ! command -v "$needed" > /dev/null; then
    echo "compare.sh: $needed is missing; run bash scripts/setup.sh first" >&2
    exit 1
  fi
done

# --- build -------------------------------------------------------------------

if [ ! -f "$build/CMakeCache.txt" ]; then
  configure_log=$(mktemp)
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTRELVO_GUI=OFF > "$configure_log" 2>&1 ||
    { cat "$configure_log" >&2; rm -f "$configure_log"; exit 1; }
  rm -f "$configure_log"
fi
build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt")
if [ "$build_type" != Release ]; then
  echo "compare.sh: $build is a $build_type build; figures need Release" >&2
  exit 1
fi
echo "Building trelvo-tool and the data generator in $build ..."
cmake --build "$build" --target trelvo-tool trelvo_bench_generate trelvo_bench_find_queries delivered_data \
  > "$build/compare-build.log" 2>&1 || { tail -n 40 "$build/compare-build.log" >&2; exit 1; }
tool=$build/bin/trelvo-tool
generate=$build/bin/trelvo_bench_generate
find_queries=$build/bin/trelvo_bench_find_queries
finds=900      # find queries per size, a hundred of each kind the data can give
greps=45       # of them timed with grep as well

# --- helpers -----------------------------------------------------------------

memory_file=$(mktemp)
trap 'rm -f "$memory_file"' EXIT

# timed OUT CMD...: runs CMD once with its output in OUT; sets seconds and
# peak_mb (its peak resident memory).
timed() {
  local out=$1
  shift
  local start=$EPOCHREALTIME
  /usr/bin/time -f %M -o "$memory_file" "$@" > "$out"
  local end=$EPOCHREALTIME
  seconds=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.6f", b - a }')
  peak_mb=$(awk 'END { printf "%.1f", $1 / 1024 }' "$memory_file")
}

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
largest() { printf '%s\n' "$@" | sort -g | tail -n 1; }

# repeat SETUP OUT CMD...: runs SETUP (a function, or :) and then CMD, runs
# times; sets seconds to the median and peak_mb to the largest peak.
repeat() {
  local setup=$1
  shift
  local all_seconds=() all_mb=()
  for ((run = 0; run < runs; ++run)); do
    "$setup"
    timed "$@"
    all_seconds+=("$seconds")
    all_mb+=("$peak_mb")
  done
  seconds=$(median "${all_seconds[@]}")
  peak_mb=$(largest "${all_mb[@]}")
}

rows=()    # entries|figure|trelvo|unit|trelvo MB|peer|peer figure|peer MB
checks=()  # met/missed lines

# row ENTRIES FIGURE TRELVO UNIT MB PEER PEERFIGURE PEERMB
row() { rows+=("$1|$2|$3|$4|$5|$6|$7|$8"); }

# check TEXT CONDITION(awk expression)
check() {
  if awk "BEGIN { exit !($2) }"; then checks+=("met     $1"); else checks+=("MISSED  $1"); fi
}

shown() {  # shown VALUE UNIT
  if [ -z "$1" ]; then return; fi
  if [ "$2" = us ]; then awk -v v="$1" 'BEGIN { printf "%.3f us", v * 1e6 }'
  else awk -v v="$1" 'BEGIN { printf "%.3f s", v }'; fi
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'; }
number() { sed ':a;s/\B[0-9]\{3\}\>/,&/;ta' <<< "$1"; }

# --- data --------------------------------------------------------------------

# prepare N: the files of one size in $data/N, made again when the
# generator or the tool changed.
prepare() {
  local n=$1 dir=$data/$1
  if [ -f "$dir/.made" ] && [ "$dir/.made" -nt "$generate" ] && [ "$dir/.made" -nt "$tool" ]; then
    return
  fi
  echo "Generating $(number "$n") entries in $dir ..."
  rm -rf "$dir"
  mkdir -p "$dir"
  "$generate" "$dir" "$n" "$words" "$searches"
  local header=(--lang0 "Čeština" --charset0 238 --lang1 "Angličtina" --charset1 0 --id 5A3C1E99
                --author Trelvo --note "Terminologie zabezpečovací techniky")
  "$tool" make "$dir/dictionary.dsl" --name "Zkušební slovník" --version 1 "${header[@]}" < "$dir/dictionary.tsv"
  "$tool" make "$dir/edition.dsl" --name "Zkušební slovník" --version 2 "${header[@]}" < "$dir/edition.tsv"
  # The peer's prebuilt database for lookups: the same entries, an index on
  # the term, and the search texts in a table of their own.
  sqlite3 "$dir/lookup.db" <<EOF
.mode tabs
CREATE TABLE t(term TEXT, translation TEXT, note TEXT, flags INTEGER);
.import $dir/dictionary.tsv t
CREATE INDEX t_term ON t(term);
CREATE TABLE q(text TEXT);
.import $dir/searches.txt q
EOF
  local entries
  entries=$("$tool" info "$dir/dictionary.dsl" | sed -n 's/^entries: //p')
  local rows_in_db
  rows_in_db=$(sqlite3 "$dir/lookup.db" "SELECT count(*) FROM t;")
  if [ "$entries" != "$n" ] || [ "$rows_in_db" != "$n" ]; then
    echo "compare.sh: $dir holds $entries entries and $rows_in_db rows, not $n" >&2
    exit 1
  fi
  touch "$dir/.made"
}

# --- figures -----------------------------------------------------------------

# The copy is written to the disk before the timing starts: otherwise its
# write-back runs during the command and slows the command's own synced save.
fresh_copy() { cp "$dir/dictionary.dsl" "$dir/work.dsl" && sync "$dir/work.dsl"; }

measure() {
  local n=$1
  dir=$data/$n
  echo "Measuring $(number "$n") entries ($runs runs each) ..."

  # (a) Open and dump in index order, against sorting and indexing the TSV.
  repeat : /dev/null "$tool" dump "$dir/dictionary.dsl"
  local dump_s=$seconds dump_mb=$peak_mb
  repeat : /dev/null sort -t "$tab" -k1,1 -s "$dir/dictionary.tsv"
  local sort_s=$seconds sort_mb=$peak_mb
  cat > "$dir/import.sql" <<EOF
.mode tabs
CREATE TABLE t(term TEXT, translation TEXT, note TEXT, flags INTEGER);
.import $dir/dictionary.tsv t
CREATE INDEX t_term ON t(term);
CREATE INDEX t_translation ON t(translation);
EOF
  repeat : /dev/null sqlite3 :memory: ".read $dir/import.sql"
  local sqlite_s=$seconds sqlite_mb=$peak_mb
  row "$n" "open + dump in index order" "$dump_s" s "$dump_mb" "LC_ALL=C sort -k1,1 -s" "$sort_s" "$sort_mb"
  row "$n" "open + dump in index order" "$dump_s" s "$dump_mb" "sqlite3 .import + 2 indexes" "$sqlite_s" "$sqlite_mb"
  check "$(number "$n"): open + dump at most half the time of sort ($(ratio "$dump_s" "$sort_s"))" "$dump_s * 2 <= $sort_s"
  check "$(number "$n"): open + dump 3x faster than sqlite3 ($(ratio "$dump_s" "$sqlite_s"))" "$dump_s * 3 <= $sqlite_s"
  dump_at[$n]=$dump_s dump_peak_at[$n]=$dump_mb

  # (b) Searches in one process; the tool times the open and the searches.
  local open_ms=() search_us=() search_cpu_us=() search_mb=()
  for ((run = 0; run < runs; ++run)); do
    timed /dev/null "$tool" search "$dir/dictionary.dsl" --from "$dir/searches.txt" --timing 2> "$dir/timing.txt"
    open_ms+=("$(sed -n 's/^open: \([0-9.]*\) ms$/\1/p' "$dir/timing.txt")")
    search_us+=("$(sed -n 's/.*, \([0-9.]*\) us each.*/\1/p' "$dir/timing.txt")")
    search_cpu_us+=("$(sed -n 's/.*processor time \([0-9.]*\) us each.*/\1/p' "$dir/timing.txt")")
    search_mb+=("$peak_mb")
  done
  local open_s search_s lookup_s
  open_s=$(awk -v ms="$(median "${open_ms[@]}")" 'BEGIN { printf "%.6f", ms / 1000 }')
  search_s=$(awk -v us="$(median "${search_us[@]}")" 'BEGIN { printf "%.9f", us / 1e6 }')
  local search_peak
  search_peak=$(largest "${search_mb[@]}")
  # The peer's lookups in one statement over the table of texts, timed by
  # sqlite3 itself; each finds the first term not less than the text
  # through the index and reads its row, as a search does.
  cat > "$dir/lookups.sql" <<EOF
.timer on
SELECT count(*), sum(length(found)) FROM (SELECT (SELECT term || char(9) || translation FROM t
  WHERE term >= q.text ORDER BY term LIMIT 1) AS found FROM q);
EOF
  local lookups=() lookups_cpu=() timer
  for ((run = 0; run < runs; ++run)); do
    timer=$(sqlite3 "$dir/lookup.db" < "$dir/lookups.sql" | grep '^Run Time: ')
    lookups+=("$(awk '{ print $4 }' <<< "$timer")")
    lookups_cpu+=("$(awk '{ print $6 + $8 }' <<< "$timer")")
  done
  lookup_s=$(awk -v s="$(median "${lookups[@]}")" -v n="$searches" 'BEGIN { printf "%.9f", s / n }')
  local search_cpu_s lookup_cpu_s
  search_cpu_s=$(awk -v us="$(median "${search_cpu_us[@]}")" 'BEGIN { printf "%.9f", us / 1e6 }')
  lookup_cpu_s=$(awk -v s="$(median "${lookups_cpu[@]}")" -v n="$searches" 'BEGIN { printf "%.9f", s / n }')
  row "$n" "open (read, key, index both sides)" "$open_s" s "$search_peak" "-" "" ""
  row "$n" "one search (of $(number "$searches"))" "$search_s" us "$search_peak" "sqlite3 indexed lookup" "$lookup_s" ""
  row "$n" "  the same in processor time" "$search_cpu_s" us "" "sqlite3, user + sys" "$lookup_cpu_s" ""
  check "$(number "$n"): a search under 1 us ($(awk -v s="$search_s" 'BEGIN { printf "%.2f us", s * 1e6 }'))" "$search_s < 0.000001"
  check "$(number "$n"): a search in under a quarter of sqlite3's ($(ratio "$search_s" "$lookup_s"))" "$search_s * 4 < $lookup_s"
  open_at[$n]=$open_s search_at[$n]=$search_s search_peak_at[$n]=$search_peak
  if [ "$n" -eq 1000000 ]; then
    local most
    most=$(largest "$dump_mb" "$search_peak")
    check "$(number "$n"): peak memory of open, dump and search under 250 MB ($most MB)" "$most < 250"
  fi

  # (c) Import, synchronisation and export, each on a fresh copy.
  repeat fresh_copy "$dir/import.out" "$tool" import "$dir/work.dsl" "$dir/words.txt"
  row "$n" "import of $(number "$words") lines ($(number "$(sed -n 's/^added: \([0-9]*\).*/\1/p' "$dir/import.out")") added)" "$seconds" s "$peak_mb" "-" "" ""
  at_million "import under 0.6 s with the save, peak under 250 MB ($(shown "$seconds" s), $peak_mb MB)" \
    "$seconds < 0.6 && $peak_mb < 250"
  repeat fresh_copy "$dir/sync.out" "$tool" sync "$dir/work.dsl" "$dir/edition.dsl"
  row "$n" "sync with an edition of $(number "$n") ($(number "$(sed 's/.*added: //' "$dir/sync.out")") added)" "$seconds" s "$peak_mb" "-" "" ""
  at_million "sync under 1 s with the save, peak under 250 MB ($(shown "$seconds" s), $peak_mb MB)" \
    "$seconds < 1 && $peak_mb < 250"
  repeat : /dev/null "$tool" export "$dir/dictionary.dsl" "$dir/export.txt"
  local export_s=$seconds export_mb=$peak_mb
  repeat : /dev/null sqlite3 "$dir/lookup.db" ".mode tabs" ".output $dir/export-sqlite.txt" \
    "SELECT term, translation FROM t ORDER BY term;"
  row "$n" "export to text" "$export_s" s "$export_mb" "sqlite3 .output, ORDER BY" "$seconds" "$peak_mb"
  at_million "export under 0.3 s, peak under 250 MB ($(shown "$export_s" s), $export_mb MB)" \
    "$export_s < 0.3 && $export_mb < 250"

  # (d) The exchange formats: each export of the whole dictionary, and the
  # import of what it wrote into an empty dictionary of the same languages.
  "$tool" make "$dir/empty.dsl" --name "Prázdný slovník" --lang0 "Čeština" --charset0 238 --lang1 "Angličtina" \
    --charset1 0 < /dev/null
  fresh_empty() { cp "$dir/empty.dsl" "$dir/work.dsl" && sync "$dir/work.dsl"; }
  local format
  for format in csv xlsx tbx tbx2019; do
    repeat : /dev/null "$tool" export "$dir/dictionary.dsl" "$dir/exchange.$format" --format "$format"
    row "$n" "export to $format ($(($(stat -c %s "$dir/exchange.$format") / 1048576)) MiB)" "$seconds" s "$peak_mb" "-" "" ""
    at_million "export to $format at most 3 s and 300 MB ($(shown "$seconds" s), $peak_mb MB)" \
      "$seconds <= 3 && $peak_mb <= 300"
    repeat fresh_empty "$dir/import.out" "$tool" import "$dir/work.dsl" "$dir/exchange.$format"
    row "$n" "import of that $format ($(number "$(sed -n 's/^added: \([0-9]*\).*/\1/p' "$dir/import.out")") added)" \
      "$seconds" s "$peak_mb" "-" "" ""
    at_million "import of $format at most 3 s and 300 MB ($(shown "$seconds" s), $peak_mb MB)" \
      "$seconds <= 3 && $peak_mb <= 300"
    rm -f "$dir/exchange.$format"
  done

  # (e) The save alone: an import of nothing reads and saves the dictionary,
  # info only reads it.
  : > "$dir/nothing.txt"
  repeat fresh_copy /dev/null "$tool" import "$dir/work.dsl" "$dir/nothing.txt"
  local read_and_save_s=$seconds
  repeat : /dev/null "$tool" info "$dir/dictionary.dsl"
  local save_s
  save_s=$(awk -v a="$read_and_save_s" -v b="$seconds" 'BEGIN { printf "%.6f", a - b }')
  row "$n" "save, synced to the disk (import of nothing - info)" "$save_s" s "" "-" "" ""
  at_million "save under 0.2 s ($(shown "$save_s" s))" "$save_s < 0.2"
  rm -f "$dir/work.dsl" "$dir/export.txt" "$dir/export-sqlite.txt" "$dir/nothing.txt" "$dir/empty.dsl"

  # (f) Finding by any word: the tool's own time per query, against grep of
  # the query's longest word over the TSV, which folds neither diacritics nor
  # inflection and ranks nothing.
  "$find_queries" "$dir/dictionary.tsv" "$finds" 3 > "$dir/finds.tsv"
  cut -f2 "$dir/finds.tsv" > "$dir/finds.txt"
  local find_us=() find_mb=()
  for ((run = 0; run < runs; ++run)); do
    timed "$dir/found.txt" "$tool" find "$dir/dictionary.dsl" --limit 5 --from "$dir/finds.txt" --timing \
      2> "$dir/find-timing.txt"
    find_us+=("$(sed -n 's/^finds: .*, \([0-9.]*\) us each$/\1/p' "$dir/find-timing.txt")")
    find_mb+=("$peak_mb")
  done
  local find_s find_peak grep_s
  find_s=$(awk -v us="$(median "${find_us[@]}")" 'BEGIN { printf "%.9f", us / 1e6 }')
  find_peak=$(largest "${find_mb[@]}")
  head -n "$greps" "$dir/finds.txt" |
    awk '{ w = $1; for (i = 2; i <= NF; i++) if (length($i) > length(w)) w = $i; print w }' > "$dir/grep-words.txt"
  local start=$EPOCHREALTIME
  while read -r word; do
    LC_ALL=C.UTF-8 grep -c -i -F -- "$word" "$dir/dictionary.tsv" > /dev/null || true
  done < "$dir/grep-words.txt"
  grep_s=$(awk -v a="$start" -v b="$EPOCHREALTIME" -v n="$greps" 'BEGIN { printf "%.9f", (b - a) / n }')
  row "$n" "find: one query, best 5 (of $(number "$finds"))" "$find_s" us "$find_peak" "LC_ALL=C.UTF-8 grep -c -i -F" \
    "$grep_s" ""
  check "$(number "$n"): find faster than grep of one word ($(ratio "$find_s" "$grep_s"))" "$find_s < $grep_s"
  at_million "find at most 30 ms a query ($(shown "$find_s" us))" "$find_s <= 0.030"
  at_million "find's peak memory at most 300 MB ($find_peak MB)" "$find_peak <= 300"
  if [ "$n" -eq 10000000 ]; then
    check "$(number "$n"): find at most 300 ms a query ($(shown "$find_s" us))" "$find_s <= 0.300"
  fi
  quality "$(number "$n") generated" "$dir/finds.tsv" "$dir/found.txt"
}

# quality NAME QUERIES FOUND: per kind of query, the share whose entry is
# among the first 5 matches (FOUND holds a block of matches per query), as a
# row of the quality table; quality_below names the kinds below their
# targets (98 %, 90 % for inflected forms).
quality_rows=()
quality() {
  local result
  result=$(awk -v name="$1" '
    BEGIN { FS = "\t" }
    FNR == NR { kind[FNR] = $1; want[FNR] = $3 "\t" $4 "\t"; n = FNR; next }
    FNR == 1 { q = 1 }
    $0 == "" { q++; next }
    index($0, want[q]) == 1 { hit[q] = 1 }
    END {
      for (i = 1; i <= n; i++) { total[kind[i]]++; if (hit[i]) good[kind[i]]++ }
      line = sprintf("%-24s", name)
      split("stored plain upper dropped doubled swapped half inner inflected", order, " ")
      below = ""
      for (k = 1; k <= 9; k++) {
        c = order[k]
        share = total[c] ? 100 * good[c] / total[c] : 100
        line = line sprintf(" %9s", total[c] ? sprintf("%.1f", share) : "-")
        if (share < (c == "inflected" ? 90 : 98)) below = below " " c
      }
      print line
      print "below:" below
    }' "$2" "$3")
  quality_rows+=("$(head -n 1 <<< "$result")")
  # Marked, as an empty last line would be cut off with the output's end.
  quality_below=$(sed -n 's/^below://p' <<< "$result")
}

# at_million TEXT CONDITION: a target of the 1,000,000-entry run.
at_million() {
  if [ "$n" -eq 1000000 ]; then check "$(number "$n"): $1" "$2"; fi
}

# Open, search and dump must grow no faster than the entries: at ten times
# the entries at most 12 times the time and 10.5 times the peak.
declare -A dump_at dump_peak_at open_at search_at search_peak_at
linear() {
  local small=1000000 large=10000000
  if [ -z "${dump_at[$large]:-}" ] || [ -z "${dump_at[$small]:-}" ]; then return; fi
  local what
  for what in dump_at open_at search_at; do
    local -n figure=$what
    check "$(number $large) against $(number $small): ${what%_at} time x$(ratio "${figure[$large]}" "${figure[$small]}")" \
      "${figure[$large]} <= 12 * ${figure[$small]}"
  done
  for what in dump_peak_at search_peak_at; do
    local -n figure=$what
    check "$(number $large) against $(number $small): ${what%_at} x$(ratio "${figure[$large]}" "${figure[$small]}")" \
      "${figure[$large]} <= 10.5 * ${figure[$small]}"
  done
}

for n in $sizes; do prepare "$n"; done
for n in $sizes; do measure "$n"; done
linear

# The quality of finding on the delivered dictionaries, whose terms are real:
# 1,800 queries each, made from their own entries.
for name in cs-en cs-ru; do
  queries=$data/quality-$name.tsv
  "$find_queries" "$root/resources/dictionaries/$name.tsv" 1800 7 > "$queries"
  cut -f2 "$queries" > "$data/quality-$name.txt"
  "$tool" find "$build/bin/DSL/$name.dsl" --limit 5 --from "$data/quality-$name.txt" > "$data/quality-$name.found"
  quality "$name.dsl (delivered)" "$queries" "$data/quality-$name.found"
  check "$name.dsl: every kind of query finds its entry among the first 5 (below target:${quality_below:- none})" \
    "\"$quality_below\" == \"\""
done

# --- table -------------------------------------------------------------------


echo
echo "trelvo-tool against its peers: median of $runs runs, peak resident memory;"
echo "ratio = trelvo time / peer time (below 1: trelvo is faster)"
echo
printf '%-10s %-52s %12s %9s   %-28s %12s %9s %7s\n' entries figure trelvo "peak MB" peer "peer time" "peer MB" ratio
printf '%s\n' "$(printf '%.0s-' {1..140})"
for r in "${rows[@]}"; do
  IFS='|' read -r n figure value unit mb peer peer_value peer_mb <<< "$r"
  peer_ratio=""
  if [ -n "$peer_value" ]; then peer_ratio=$(ratio "$value" "$peer_value"); fi
  printf '%-10s %-52s %12s %9s   %-28s %12s %9s %7s\n' "$(number "$n")" "$figure" "$(shown "$value" "$unit")" \
    "$mb" "$peer" "$(shown "$peer_value" "$unit")" "$peer_mb" "$peer_ratio"
done
echo
echo "finding: share of queries (%) whose entry is among the first 5 matches; the generated"
echo "dictionaries draw on a few hundred words, so a half typed term or one of its words fits"
echo "thousands of entries there and says little"
printf '%-24s %9s %9s %9s %9s %9s %9s %9s %9s %9s\n' dictionary stored plain upper dropped doubled swapped half inner inflected
printf '  %s\n' "${quality_rows[@]}" | sed 's/^  //'
echo
echo "targets:"
printf '  %s\n' "${checks[@]}"
