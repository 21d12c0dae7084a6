# The isolated test rig, sourced by tools/test, tools/demo, tools/bench and
# tools/wine-run. Nothing here may let a datagram reach this machine's real
# network: every Wine process runs in a private network namespace, and so
# does the wineserver that creates its sockets.
#
#   program namespace  eth0 192.168.123.1/24 --- device namespace eth0 192.168.123.123/24
#   (default route      eth1 10.201.1.1/24   ---                  eth1 (.11 .12 .13 too)
#    via eth0)          eth2 10.201.2.1/24   ---                  eth2
#
# The device namespace runs the scanner simulator (tools/scansim.cpp).

RIG_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
RIG_BUILD=$RIG_ROOT/build
RIG_HOST_ADDR=192.168.123.1
RIG_DEVICE_ADDR=192.168.123.123
RIG_DEVICE_EXTRA="192.168.123.11 192.168.123.12 192.168.123.13"
# Outside every subnet of the rig: a socket connected there shows which
# address the namespace would send from. Connecting sends nothing.
RIG_PROBE_ADDR=198.51.100.1

rig_log() { printf 'rig: %s\n' "$*" >&2; }

# --- checks -----------------------------------------------------------------

rig_netns_inode() { stat -L -c %i "/run/netns/$1" 2>/dev/null; }

# The wineservers running for $WINEPREFIX, by PID.
rig_wineservers() {
    local p comm
    for p in /proc/[0-9]*; do
        comm=$(cat "$p/comm" 2>/dev/null) || continue
        case "$comm" in wineserver*) ;; *) continue ;; esac
        # A process may end between the listing and the read: quietly skipped.
        if { tr '\0' '\n' <"$p/environ"; } 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX"; then
            echo "${p#/proc/}"
        fi
    done
}

# True only inside the rig's program namespace, with the prefix's
# wineserver (if one runs) in that namespace too.
rig_require_isolated() {
    local ns=${CONNSETUP_NETNS:-} here pid
    if [ -z "$ns" ] || [ -z "${WINEPREFIX:-}" ]; then
        rig_log "refusing: not inside the isolated test network (run tools/test)"
        return 1
    fi
    here=$(ip netns identify $$ 2>/dev/null)
    if [ "$here" != "$ns" ]; then
        rig_log "refusing: this shell is in network namespace '${here:-host}', not '$ns'"
        return 1
    fi
    for pid in $(rig_wineservers); do
        if [ "$(stat -L -c %i "/proc/$pid/ns/net")" != "$(rig_netns_inode "$ns")" ]; then
            rig_log "refusing: wineserver $pid of $WINEPREFIX runs outside '$ns'"
            return 1
        fi
    done
}

# --- set-up and tear-down ---------------------------------------------------

RIG_PIDS=()
RIG_PREFIXES=()

rig_exec() {
    ip netns exec "$RIG_NS" env \
        CONNSETUP_NETNS="$RIG_NS" CONNSETUP_HOST_ADDR="$RIG_HOST_ADDR" \
        CONNSETUP_DEVICE_ADDR="$RIG_DEVICE_ADDR" CONNSETUP_PROBE_ADDR="$RIG_PROBE_ADDR" \
        WINEPREFIX="$WINEPREFIX" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
        DISPLAY="${RIG_DISPLAY:-${DISPLAY:-}}" "$@"
}

rig_network_up() {
    local id=cs$$ i
    RIG_NS=${id}h
    RIG_DEV_NS=${id}d
    ip netns add "$RIG_NS"
    ip netns add "$RIG_DEV_NS"
    ip -n "$RIG_NS" link set lo up
    ip -n "$RIG_DEV_NS" link set lo up
    for i in 0 1 2; do
        ip link add "${id}a$i" type veth peer name "${id}b$i"
        ip link set "${id}a$i" netns "$RIG_NS"
        ip link set "${id}b$i" netns "$RIG_DEV_NS"
        ip -n "$RIG_NS" link set "${id}a$i" name "eth$i"
        ip -n "$RIG_DEV_NS" link set "${id}b$i" name "eth$i"
        ip -n "$RIG_NS" link set "eth$i" up
        ip -n "$RIG_DEV_NS" link set "eth$i" up
    done
    ip -n "$RIG_NS" addr add "$RIG_HOST_ADDR/24" dev eth0
    ip -n "$RIG_NS" addr add 10.201.1.1/24 dev eth1
    ip -n "$RIG_NS" addr add 10.201.2.1/24 dev eth2
    ip -n "$RIG_NS" route add default dev eth0
    ip -n "$RIG_DEV_NS" addr add "$RIG_DEVICE_ADDR/24" dev eth0
    for i in $RIG_DEVICE_EXTRA; do ip -n "$RIG_DEV_NS" addr add "$i/24" dev eth0; done
    ip -n "$RIG_DEV_NS" addr add 10.201.1.2/24 dev eth1
    ip -n "$RIG_DEV_NS" addr add 10.201.2.2/24 dev eth2
    rig_log "network namespaces $RIG_NS (program) and $RIG_DEV_NS (devices) are up"
}

rig_simulator_up() {
    ip netns exec "$RIG_DEV_NS" "$RIG_BUILD/tools/scansim" "$@" 2>"$RIG_BUILD/scansim.log" &
    RIG_PIDS+=($!)
}

rig_xvfb_up() {
    local fifo=$RIG_BUILD/xvfb.display
    rm -f "$fifo"
    ip netns exec "$RIG_NS" Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" 2>/dev/null &
    RIG_PIDS+=($!)
    local n
    for n in $(seq 50); do
        [ -s "$fifo" ] && break
        sleep 0.1
    done
    [ -s "$fifo" ] || { rig_log "Xvfb did not start"; return 1; }
    RIG_DISPLAY=:$(head -n 1 "$fifo")
    rig_log "Xvfb on $RIG_DISPLAY"
}

# rig_wine_up [PREFIX [ARCH [REGFILE]]]: a private Wine prefix (default
# build/wine, 32-bit) whose wineserver runs inside the program namespace;
# REGFILE is imported into a new prefix after the rig's own settings.
rig_wine_up() {
    export WINEPREFIX=${1:-$RIG_BUILD/wine}
    local arch=${2:-win32} extra=${3:-} reg
    RIG_PREFIXES+=("$WINEPREFIX")
    # A wineserver of this prefix started elsewhere would create our sockets
    # in its own namespace: stop it, so the first Wine process below starts
    # a new one inside ours.
    wineserver -k 2>/dev/null || true
    local n
    for n in $(seq 50); do
        [ -z "$(rig_wineservers)" ] && break
        sleep 0.1
    done
    if [ -n "$(rig_wineservers)" ]; then
        rig_log "a wineserver of $WINEPREFIX is still running"
        return 1
    fi
    # A new prefix is made, and settled, by a server that ends with it.
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        rig_exec env WINEARCH="$arch" wineboot -i >/dev/null 2>&1 || true
        for reg in "$RIG_ROOT/tools/wine-settings.reg" ${extra:+"$extra"}; do
            if ! rig_exec wine regedit /S "$reg" >/dev/null 2>&1; then
                rig_log "importing $reg into $WINEPREFIX failed"
                return 1
            fi
        done
        rig_exec wineserver -w
    fi
    # Then one started here, inside the namespace, and kept running until
    # rig_down: otherwise it would quit whenever no program runs, and every
    # test would pay for a new server and its services.
    rig_exec wineserver -p </dev/null >/dev/null 2>&1
    rig_exec wineboot </dev/null >/dev/null 2>&1 || true
    rig_exec "$RIG_ROOT/tools/wine-run" --check || return 1
    # The proof the guide asks for: where would a socket of a Wine program send from?
    local seen
    seen=$(rig_exec wine "$RIG_BUILD/bin/netcheck.exe" "$RIG_PROBE_ADDR" 2>/dev/null | tr -d '\r')
    # Wine's desktop process inherits the output of the program that starts
    # it and lingers after it: kept running from here, it holds no test's
    # output open (the server's end stops it).
    rig_exec wine "$RIG_BUILD/bin/netcheck.exe" --hold-desktop </dev/null >/dev/null 2>&1 &
    if [ "$seen" != "$RIG_HOST_ADDR" ]; then
        rig_log "refusing: a Wine socket would send from '${seen:-nowhere}', not $RIG_HOST_ADDR"
        return 1
    fi
    rig_log "Wine prefix $WINEPREFIX ($arch) runs inside $RIG_NS (sockets send from $seen)"
}

rig_up() {
    trap rig_down EXIT
    rig_network_up
    rig_xvfb_up
    rig_wine_up
}

rig_down() {
    local pid prefix
    for prefix in "${RIG_PREFIXES[@]}"; do
        WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
    done
    RIG_PREFIXES=()
    for pid in "${RIG_PIDS[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    RIG_PIDS=()
    [ -n "${RIG_NS:-}" ] && ip netns del "$RIG_NS" 2>/dev/null
    [ -n "${RIG_DEV_NS:-}" ] && ip netns del "$RIG_DEV_NS" 2>/dev/null
    RIG_NS=
    RIG_DEV_NS=
    return 0
}
