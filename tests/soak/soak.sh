#!/usr/bin/env bash
# Crash anywhere, lose nothing: runs `vyr-update --simulate --yes` RUNS times (default 300),
# each with a random misbehaviour of the simulated device (a row of tests/scenarios.txt) and,
# in a third of the runs each, a SIGKILL or a stop request (SIGTERM) at a random instant,
# then checks:
#   - the status file is absent or a whole property list holding a status the run can have
#     left (never torn, never a value from nowhere);
#   - a run not killed ended with the exit status and the message its misbehaviour gives;
#   - a stop request before the transfer ended the run with nothing sent; one during it was
#     only warned of, and one at a later prompt backed out of it: no transfer ever began
#     after a stop request;
#   - a run that left "transfer begun" is resumed by the next run at the update-mode prompt,
#     without waiting for the heartbeat, and that run completes.
# Usage: tests/soak/soak.sh [RUNS] [BUILD_DIR]   (default build/asan; two runs at a time)
set -euo pipefail
cd "$(dirname "$0")/../.."
runs=${1:-300}
build=${2:-build/asan}
update="$build/bin/vyr-update"
# The machine's logind and battery are no input: no system bus, so every run goes on.
export DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent/vyr-soak-system-bus
[ -x "$update" ] || { echo "soak: $update not built" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
grep -v '^#' tests/scenarios.txt >"$work/scenarios"

# status FILE -> the status it holds, "none" when absent, "torn" when it is no whole plist.
status_of() {
    local file=$1
    [ -e "$file" ] || { echo none; return; }
    if head -c 5 "$file" | grep -q '<?xml' && tail -c 9 "$file" | grep -q '</plist>' &&
        grep -q '<key>Status</key>' "$file"; then
        grep -A1 '<key>Status</key>' "$file" | grep -o '<integer>[0-9-]*</integer>' |
            grep -o '[0-9-]*' || echo torn
    else
        echo torn
    fi
}

one_run() {
    local n=$1 dir="$work/$1" options expect_exit expect_status message
    mkdir -p "$dir"
    local prefs="$dir/status.plist"
    # A row of tests/scenarios.txt at random; K is a random message number.
    local row options outcome says
    row=$(sed -n "$((RANDOM % $(wc -l <"$work/scenarios") + 1))p" "$work/scenarios")
    IFS='|' read -r options _ expect_status outcome expect_exit says <<<"$row"
    options=$(echo ${options//K/$((RANDOM % 300 + 1))})
    [ "$options" = - ] && options=""
    [ "$options" = --sim-absent ] && options="--sim-absent --wait 1"
    expect_status=$(echo $expect_status)
    [ "$expect_status" = - ] && expect_status=none
    expect_exit=$(echo $expect_exit)
    message=$(echo $says)
    local kill_after="" stop_after=""
    case $((RANDOM % 3)) in
    0) kill_after="$((RANDOM % 12)).$((RANDOM % 1000))" ;;
    1) stop_after="$((RANDOM % 12)).$((RANDOM % 1000))" ;;
    esac
    set +e
    if [ -n "$kill_after" ]; then
        timeout -s KILL "$kill_after" "$update" --simulate --yes --prefs "$prefs" $options \
            >"$dir/out" 2>&1
    elif [ -n "$stop_after" ]; then
        # 124: the stop request was sent (the run had not ended by then). --foreground: else
        # timeout signals the process group too, a second request that ends the program.
        timeout --foreground -s TERM "$stop_after" "$update" --simulate --yes --prefs "$prefs" \
            $options >"$dir/out" 2>&1
    else
        "$update" --simulate --yes --prefs "$prefs" $options >"$dir/out" 2>&1
    fi
    local exit=$?
    set -e
    local status
    status=$(status_of "$prefs")
    local verdict=ok
    if [ "$status" = torn ]; then
        verdict="torn status file"
    elif [ "$exit" = 137 ]; then
        case $status in none | 1 | 2) ;; *) verdict="status $status after a kill" ;; esac
    elif [ "$exit" = 124 ]; then
        if grep -q 'Now updating' "$dir/out"; then
            grep -qE 'Interrupting now leaves VYR|\(stopped by a signal\)' "$dir/out" ||
                verdict="a stop request went unanswered during or after the transfer"
        elif grep -qF "$message" "$dir/out" && [ "$status" = "$expect_status" ]; then
            : # it ended by itself just as the request came (timeout says 124 all the same)
        elif ! grep -q 'nothing was sent to VYR' "$dir/out" || [ "$status" != none ]; then
            verdict="a stop request before the transfer did not end the run with nothing sent"
        fi
    elif [ "$exit" != "$expect_exit" ] || [ "$status" != "$expect_status" ] ||
        ! grep -qF "$message" "$dir/out"; then
        verdict="exit $exit status $status, expected exit $expect_exit status $expect_status and \"$message\""
    fi
    if [ "$verdict" = ok ] && [ "$status" = 1 ]; then
        # A begun transfer is resumed at the update-mode prompt and completes.
        set +e
        "$update" --simulate --yes --prefs "$prefs" >"$dir/resumed" 2>&1
        local resumed=$?
        set -e
        if [ "$resumed" != 0 ] || grep -q 'Waiting\.\.\.' "$dir/resumed" ||
            ! grep -q 'Resuming the update' "$dir/resumed" || [ "$(status_of "$prefs")" != 2 ]; then
            verdict="the resumed run did not resume and complete (exit $resumed)"
        fi
    fi
    echo "run $n: ${options:-clean}${kill_after:+, killed after ${kill_after}s}${stop_after:+, stopped after ${stop_after}s}: exit $exit, status $status: $verdict"
}
export -f one_run status_of
export work update

# The shell's own "Killed" notices are noise: the verdict lines tell.
seq 1 "$runs" | xargs -P 2 -I{} bash -c 'one_run {} 2>/dev/null' | tee "$work/results"
failed=$(grep -vc ': ok$' "$work/results" || true)
killed=$(grep -c 'killed after' "$work/results" || true)
stopped=$(grep -c 'stopped after.*: exit 124' "$work/results" || true)
echo "soak: $runs runs ($killed killed, $stopped asked to stop, at random), $failed failed"
[ "$failed" = 0 ]
