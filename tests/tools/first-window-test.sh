# Sourced by tools/test inside the rig, with the build in use set up
# (rig_use_build, rig_wine_up): a caller's view of connscan diagnose --json
# with both streams piped, run as the first program of a Wine session to
# make a window while another Wine program runs. The caller reads to the
# end of the pipe: a process that connscan started and that inherited its
# streams (Wine starts its desktop process from the first program that
# makes a window) would hold the caller long after connscan itself ended.
# Leaves the prefix's server as rig_wine_up makes it. Status 0 when the
# streams ended in time with a report.
first_window_test() {
    local bound=30 out hold holder pid waited=0 status=0
    out=$(mktemp)
    # A server of its own, and no desktop process yet. A server that a
    # program of the prefix started meanwhile is as good: every one of them
    # runs inside the namespace.
    wineserver -k 2>/dev/null || true
    while [ -n "$(rig_wineservers)" ] && [ $waited -lt 100 ]; do
        sleep 0.1
        waited=$((waited + 1))
    done
    rig_exec wineserver -p </dev/null >/dev/null 2>&1 || true
    # Another Wine program, which makes no window, runs meanwhile: it reads
    # its input to the end, which comes when the descriptor here is closed.
    # It runs before connscan starts: the first program of a new server
    # session starts Wine's services, and they keep its output open, as
    # they would have kept connscan's (Wine's doing, which no program can
    # change).
    exec {hold}> >(rig_wine "$RIG_BIN/netcheck.exe" --wait >"$out.holder" 2>&1)
    holder=$!
    waited=0
    while ! grep -q waiting "$out.holder" 2>/dev/null && [ $waited -lt $((bound * 10)) ]; do
        sleep 0.1
        waited=$((waited + 1))
    done
    (cd "$RIG_BIN" && rig_wine connscan.exe diagnose --json 2>&1 | cat >"$out") &
    pid=$!
    waited=0
    while kill -0 "$pid" 2>/dev/null && [ $waited -lt $((bound * 10)) ]; do
        sleep 0.1
        waited=$((waited + 1))
    done
    if kill -0 "$pid" 2>/dev/null; then
        echo "first-window: FAILED: diagnose --json's streams were still open after $bound s" >&2
        status=1
    elif ! grep -q '^{"identity": ' "$out"; then
        echo "first-window: FAILED: no report came through the pipe: $(head -c 300 "$out")" >&2
        status=1
    else
        echo "first-window: diagnose --json's piped streams ended after $((waited / 10)).$((waited % 10)) s"
    fi
    exec {hold}>&-
    # Ends every program of the prefix, those above among them, and makes the rig's server anew.
    [ -n "${NO_RESTART:-}" ] || rig_wine_up "$WINEPREFIX" >/dev/null 2>&1 || status=1
    wait "$pid" "$holder" 2>/dev/null || true
    rm -f "$out" "$out.holder"
    return $status
}
