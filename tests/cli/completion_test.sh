#!/usr/bin/env bash
# The bash completion of orva-cli, asked as bash asks it: COMP_WORDS and COMP_CWORD set, the
# function called, COMPREPLY compared with what a person should be offered.
#   completion_test.sh COMPLETION_FILE
set -u
source "$1"

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
mkdir -p "$dir/res" "$dir/sub"
# Written as a Windows editor leaves it: CR LF, a blank after a comma.
printf '; models\r\n[DeviceName]\r\nList=KT540G,KT310-U, AB1\r\n[DeviceCount]\r\nCount=3\r\n' >"$dir/res/device.ini"
touch "$dir/image.bin" "$dir/found.xls"

failures=0
cases=0
# check EXPECTED WORD...: the words of the command line, the last one the word being completed.
check() {
    local expected=$1
    shift
    COMP_WORDS=("$@")
    COMP_CWORD=$(($# - 1))
    COMPREPLY=()
    _orva_cli 2>/dev/null
    local got
    got=$(printf '%s\n' "${COMPREPLY[@]}" | sed '/^$/d' | sort | tr '\n' ' ')
    expected=$(printf '%s\n' $expected | sed '/^$/d' | sort | tr '\n' ' ')
    cases=$((cases + 1))
    if [[ $got != "$expected" ]]; then
        echo "FAIL: orva-cli completion of [$*]: got [$got], expected [$expected]"
        failures=$((failures + 1))
    fi
}

check "identify diagnose station upload restore upgrade upgrade-status logs stats help" orva-cli ""
check "diagnose" orva-cli di
check "--dir --user --password --help --version" orva-cli --
check "diagnose" orva-cli --dir "$dir" --user tech di
check "--model" orva-cli --dir "$dir" diagnose --m
check "AB1 KT310-U KT540G" orva-cli --dir "$dir" diagnose --model ""
check "KT310-U" orva-cli "--dir=$dir" logs --device-type KT3
check "" orva-cli --dir "$dir" diagnose --address ""
check "ring1= ring2=" orva-cli diagnose --answers ri
check "yes" orva-cli diagnose --answers y
check "--yes" orva-cli restore --y
check "upgrade upgrade-status upload" orva-cli help up
check "--sn" orva-cli logs --s
check "--sn" orva-cli stats --s
check "station stats" orva-cli help st
check "$dir/image.bin" orva-cli --dir "$dir" upgrade --image "$dir/im"
check "$dir/found.xls" orva-cli logs --xls "$dir/f"
check "--junit" orva-cli station --ju
check "$dir/found.xls" orva-cli station --junit "$dir/f"
check "$dir/sub" orva-cli --dir "$dir/s"
# The program directory from ORVA_HOME, and from the folder of the program named on the line.
ORVA_HOME=$dir check "KT310-U KT540G" orva-cli diagnose --model K
mkdir -p "$dir/bin/res" && cp "$dir/res/device.ini" "$dir/bin/res/" && touch "$dir/bin/orva-cli"
check "AB1" "$dir/bin/orva-cli" diagnose --model A
# No device.ini anywhere: no models, and no error on the terminal.
HOME=$dir/nowhere XDG_DATA_HOME=$dir/nowhere check "" /nonexistent/orva-cli diagnose --model ""

echo "$((cases - failures)) passed, $failures failed"
[[ $failures == 0 ]]
