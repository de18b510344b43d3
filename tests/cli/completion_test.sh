#!/bin/bash
# The installed bash completion of tqr905, run as bash runs it on Tab: with
# COMP_WORDS and COMP_CWORD set, against the built tqr905 and a virtual
# processor on a private bus.
#
#   completion_test.sh COMPLETION-SCRIPT TQR905 TQR905-SIM

set -uo pipefail
SCRIPT=$(realpath "$1") CLI=$(realpath "$2") SIM=$(realpath "$3")
WORK=$(mktemp -d /tmp/tqr905-completion-XXXXXX)
mkdir -p "$WORK/bin" "$WORK/bus" "$WORK/files/sub"
ln -s "$CLI" "$WORK/bin/tqr905"
export PATH=$WORK/bin:$PATH TQR905_VHID_DIR=$WORK/bus XDG_RUNTIME_DIR=$WORK TQR905_CLAIMS_DIR=$WORK
mkfifo "$WORK/sim.in"
"$SIM" --bus "$WORK/bus" --quiet <"$WORK/sim.in" &
SIM_PID=$!
exec 7>"$WORK/sim.in"  # the simulator reads commands until this closes
trap 'kill $SIM_PID 2>/dev/null; wait $SIM_PID 2>/dev/null; rm -rf "$WORK"' EXIT
for _ in $(seq 100); do
    [ -S "$WORK/bus/tqr905.sock" ] && break
    sleep 0.05
done
touch "$WORK/files/car.dsps" "$WORK/files/all.dspa" "$WORK/files/fw.dsp" \
    "$WORK/files/hand.contr" "$WORK/files/notes.txt"
cd "$WORK/files"

source "$SCRIPT"
compopt() { :; }  # only valid while bash itself completes

passed=0 failed=0
# complete EXPECTED WORD...: the last word is the one under the cursor;
# EXPECTED is the sorted candidates joined by spaces.
complete_as() {
    local expected=$1
    shift
    COMP_WORDS=(tqr905 "$@")
    COMP_CWORD=$#
    _tqr905
    local got
    got=$(printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ')
    got=${got% }
    if [[ $got == "$expected" ]]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAIL: tqr905 $*<Tab>: expected [$expected], got [$got]"
    fi
}

complete_as "factory-reset" fac
complete_as "delete devices dump" d
complete_as "--channel" curve car.dsps --ch
complete_as "--json" names --j
complete_as "--device" --dev
complete_as "all.dspa car.dsps sub" dump ""
complete_as "all.dspa car.dsps sub" --lang en write ""
complete_as "fw.dsp hand.contr sub" upgrade ""
complete_as "all.dspa car.dsps sub" read --out ""
complete_as "csv json" curve car.dsps --format ""
complete_as "en zh" --lang ""
complete_as "ch1.eq12.gain=" set ch1.gain=-6 ch1.eq12.f ch1.eq12.g
complete_as "ch2.eq3.bw ch2.eq3.bypass" get ch2.eq3.b
complete_as "master master.output" get mas
complete_as "4" recall 4
complete_as "" recall 4 ""
complete_as "set" help se
complete_as "vhid:$WORK/bus/tqr905.sock" --device ""
complete_as "vhid:$WORK/bus/tqr905.sock" info --device v

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
