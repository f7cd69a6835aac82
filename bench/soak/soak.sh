#!/bin/sh
# The whole soak, one part after the other (both use the subnet 127.0.6.0/24), at low priority:
#   bench/soak/soak.sh BUILD_DIR [OUT_DIR]
# writes cli.txt, gui.txt and gui-cleared.txt (the GUI session again, its all-diagnoses list emptied
# after each run) to OUT_DIR (default: the current directory). RUNS, GUI_RUNS change the run counts.
set -u
build=${1:?usage: soak.sh BUILD_DIR [OUT_DIR]}
out=${2:-.}
mkdir -p "$out"
nice -n 10 "$build/bench/bench_soak_cli" --runs "${RUNS:-1000}" >"$out/cli.txt" 2>&1
nice -n 10 "$build/bench/bench_soak_gui" --runs "${GUI_RUNS:-200}" >"$out/gui.txt" 2>&1
nice -n 10 "$build/bench/bench_soak_gui" --runs "${GUI_RUNS:-200}" --clear-all-logs >"$out/gui-cleared.txt" 2>&1
tail -n 12 "$out/cli.txt"
tail -n 8 "$out/gui.txt" "$out/gui-cleared.txt"
