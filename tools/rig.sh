# The isolated test rig, sourced by tools/test, tools/demo, tools/bench and
# tools/wine-run. Nothing here may let a datagram reach this machine's real
# network: every Wine process runs in a private network namespace, and so
# does the wineserver that creates its sockets.
#
#   program namespace  eth0 192.168.123.1/24 --- device namespace eth0 192.168.123.123/24
#   (default route      eth1 10.201.1.1/24   ---                  eth1 (.11 .12 .13 too)
#    via eth0)          eth2 10.201.2.1/24   ---                  eth2
#
#   device namespace eth1 10.201.1.2/24, eth2 10.201.2.2/24, and 10.201.12.12
#   on both (one device on two networks); it routes, but passes no
#   broadcast, to far namespace eth0 10.201.9.2/24 (a device behind a router).
#
# The device namespace runs the scanner simulator (tools/scansim.cpp); the
# far namespace runs one more, which answers every query once.

RIG_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# Native tools and logs; the Windows build under test is set by rig_use_build.
RIG_BUILD=$RIG_ROOT/build
RIG_HOST_ADDR=192.168.123.1
RIG_DEVICE_ADDR=192.168.123.123
RIG_DEVICE_EXTRA="192.168.123.11 192.168.123.12 192.168.123.13"
RIG_FAR_ADDR=10.201.9.2
# Outside every subnet of the rig: a socket connected there shows which
# address the namespace would send from. Connecting sends nothing.
RIG_PROBE_ADDR=198.51.100.1

rig_log() { printf 'rig: %s\n' "$*" >&2; }

# --- which build the tests run on -------------------------------------------

# True when this host executes 32-bit x86 programs: it runs one, a static
# i386 ELF of 96 bytes that only exits with status 42. Some hypervisors
# switch 32-bit execution off; any i386 program then fails to start.
rig_host_runs_x86() {
    local elf status
    # In the work tree, where programs run, rather than a /tmp that may be noexec.
    mkdir -p "$RIG_BUILD"
    elf=$(mktemp "$RIG_BUILD/x86-probe.XXXXXX")
    # ELF header, one loadable segment at 0x08048000, then the code:
    # mov eax, 1; mov ebx, 42; int 0x80 (exit(42)).
    printf '%b' "$(printf '%s' \
        7f454c46010101000000000000000000 02000300010000005480040834000000 \
        00000000000000003400200001000000 00000000010000000000000000800408 \
        00800408600000006000000005000000 00100000b801000000bb2a000000cd80 |
        sed 's/../\\x&/g')" >"$elf"
    chmod +x "$elf"
    "$elf" 2>/dev/null && status=0 || status=$?
    rm -f "$elf"
    [ "$status" -eq 42 ]
}

# Where tools/install-deps says why wine32:i386 could not be installed.
RIG_WINE32_NOTE=${CONNSETUP_WINE32_NOTE:-$RIG_BUILD/wine32-missing.txt}

rig_has_wine32() { dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; }

# Sets RIG_PRESETS, the builds whose tests run: the first one's whole suite
# (it is the one the demo shows and the bench times), then that build once
# more trapping undefined behaviour (its *-trap preset), also the whole suite,
# then on a host that runs both the 64-bit build's unit tests. Chosen from
# what this host can execute; CONNSETUP_TEST_BUILD=64 takes the 64-bit path
# on any host, =32 insists on the 32-bit one. Says which way it goes, and why.
rig_choose_builds() {
    local runs=yes why
    if ! rig_host_runs_x86; then
        runs=no
        why="this host cannot execute 32-bit x86 programs (a static i386 test program failed to start)"
    elif ! rig_has_wine32; then
        # A mirror that could not serve 32-bit Wine: no 32-bit Windows program runs either.
        runs=no
        why="wine32:i386 could not be installed ($(cat "$RIG_WINE32_NOTE" 2>/dev/null || echo "not installed"))"
    fi
    case "${CONNSETUP_TEST_BUILD:-}" in
    64)
        RIG_PRESETS=(mingw64 mingw64-trap)
        rig_log "64-bit path: CONNSETUP_TEST_BUILD=64 (this host runs 32-bit Windows programs: $runs)" ;;
    32 | '')
        if [ "$runs" = yes ]; then
            RIG_PRESETS=(mingw32 mingw32-trap mingw64)
            rig_log "32-bit path: this host executes 32-bit x86 programs (a static i386 test program ran)"
        elif [ -n "${CONNSETUP_TEST_BUILD:-}" ]; then
            rig_log "CONNSETUP_TEST_BUILD=32, but $why"
            return 1
        else
            RIG_PRESETS=(mingw64 mingw64-trap)
            rig_log "64-bit path: $why; the 32-bit build is checked without running it"
        fi ;;
    *)
        rig_log "CONNSETUP_TEST_BUILD is '$CONNSETUP_TEST_BUILD'; it takes 32 or 64"
        return 1 ;;
    esac
}

# The folder of a preset's build, under the work tree: build, build64,
# build-trap or build64-trap.
rig_preset_dir() {
    local dir=build
    case "$1" in mingw64*) dir=build64 ;; esac
    case "$1" in *-trap) dir=$dir-trap ;; esac
    echo "$dir"
}

# rig_use_build PRESET: the Windows build that the Wine processes from here
# on run: its bin folder, Wine prefix and architecture, and its loader. The
# 64-bit build always runs on the 64-bit loader itself, never through the
# wine script, which starts the 32-bit loader whenever that is installed.
rig_use_build() {
    case "$1" in
    mingw32 | mingw32-trap)
        RIG_ARCH=win32
        RIG_WINE=wine ;;
    mingw64 | mingw64-trap)
        RIG_ARCH=win64
        RIG_WINE=/usr/lib/wine/wine64 ;;
    *)
        rig_log "no build $1"
        return 1 ;;
    esac
    RIG_BIN=$RIG_ROOT/$(rig_preset_dir "$1")/bin
    RIG_PREFIX=$(dirname "$RIG_BIN")/wine
}

# --- checks -----------------------------------------------------------------

rig_netns_inode() { stat -L -c %i "/run/netns/$1" 2>/dev/null; }

# The wineservers running for $WINEPREFIX, by PID: the prefix compared as
# a folder, so that another spelling of it (a trailing slash, a symbolic
# link, "..") is the same prefix.
rig_wineservers() {
    local p comm theirs ours
    ours=$(realpath -m "$WINEPREFIX")
    for p in /proc/[0-9]*; do
        comm=$(cat "$p/comm" 2>/dev/null) || continue
        case "$comm" in wineserver*) ;; *) continue ;; esac
        # A process may end between the listing and the read: quietly skipped.
        theirs=$({ tr '\0' '\n' <"$p/environ"; } 2>/dev/null | sed -n 's/^WINEPREFIX=//p')
        [ -n "$theirs" ] || continue
        # A relative prefix is the server's starter's; its folder is not known here.
        case "$theirs" in /*) ;; *) echo "${p#/proc/}"; continue ;; esac
        [ "$(realpath -m "$theirs")" = "$ours" ] && echo "${p#/proc/}"
    done
    return 0
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
    local loader=()
    [ "$RIG_WINE" = wine ] || loader=(WINELOADER="$RIG_WINE")
    ip netns exec "$RIG_NS" env \
        CONNSETUP_NETNS="$RIG_NS" CONNSETUP_HOST_ADDR="$RIG_HOST_ADDR" \
        CONNSETUP_DEVICE_ADDR="$RIG_DEVICE_ADDR" CONNSETUP_PROBE_ADDR="$RIG_PROBE_ADDR" \
        CONNSETUP_WINE="$RIG_WINE" CONNSETUP_FAULT_RELEASE="$RIG_BUILD/fault.release" "${loader[@]}" \
        WINEPREFIX="$WINEPREFIX" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
        DISPLAY="${RIG_DISPLAY:-${DISPLAY:-}}" "$@"
}

# A Windows program of the build in use, inside the namespace.
rig_wine() { rig_exec "$RIG_WINE" "$@"; }

rig_network_up() {
    local id=cs$$ i
    RIG_NS=${id}h
    RIG_DEV_NS=${id}d
    ip netns add "$RIG_NS"
    ip netns add "$RIG_DEV_NS"
    ip -n "$RIG_NS" link set lo up
    ip -n "$RIG_DEV_NS" link set lo up
    # Each pair is made in its two namespaces at once: no end of it is ever
    # a link of this machine's own.
    for i in 0 1 2; do
        ip link add "eth$i" netns "$RIG_NS" type veth peer name "eth$i" netns "$RIG_DEV_NS"
        ip -n "$RIG_NS" link set "eth$i" up
        ip -n "$RIG_DEV_NS" link set "eth$i" up
    done
    ip -n "$RIG_NS" addr add "$RIG_HOST_ADDR/24" dev eth0
    ip -n "$RIG_NS" addr add 10.201.1.1/24 dev eth1
    ip -n "$RIG_NS" addr add 10.201.2.1/24 dev eth2
    ip -n "$RIG_DEV_NS" addr add "$RIG_DEVICE_ADDR/24" dev eth0
    for i in $RIG_DEVICE_EXTRA; do ip -n "$RIG_DEV_NS" addr add "$i/24" dev eth0; done
    ip -n "$RIG_DEV_NS" addr add 10.201.1.2/24 dev eth1
    ip -n "$RIG_DEV_NS" addr add 10.201.2.2/24 dev eth2
    ip -n "$RIG_DEV_NS" addr add 10.201.12.12/32 dev eth1
    ip -n "$RIG_DEV_NS" addr add 10.201.12.12/32 dev eth2
    # The far subnet, reached from the program's namespace only through the
    # device namespace, which forwards unicast and never a broadcast.
    RIG_FAR_NS=${id}f
    ip netns add "$RIG_FAR_NS"
    ip link add far0 netns "$RIG_DEV_NS" type veth peer name eth0 netns "$RIG_FAR_NS"
    ip -n "$RIG_DEV_NS" link set far0 up
    ip -n "$RIG_FAR_NS" link set eth0 up
    ip -n "$RIG_FAR_NS" link set lo up
    ip -n "$RIG_DEV_NS" addr add 10.201.9.1/24 dev far0
    ip -n "$RIG_FAR_NS" addr add "$RIG_FAR_ADDR/24" dev eth0
    ip -n "$RIG_FAR_NS" route add default via 10.201.9.1
    ip netns exec "$RIG_DEV_NS" sysctl -qw net.ipv4.ip_forward=1
    rig_program_routes "$RIG_NS"
    rig_log "network namespaces $RIG_NS (program), $RIG_DEV_NS (devices, a router) and $RIG_FAR_NS (far) are up"
}

# A PC on its own, for the self-test bundle: the program namespace with one
# network on eth0 (RIG_HOST_ADDR/24, the default route) to a peer namespace
# where nothing answers.
rig_lone_network_up() {
    RIG_NS=cs$$s
    RIG_DEV_NS=cs$$p
    ip netns add "$RIG_NS"
    ip netns add "$RIG_DEV_NS"
    ip -n "$RIG_NS" link set lo up
    ip link add eth0 netns "$RIG_NS" type veth peer name eth0 netns "$RIG_DEV_NS"
    ip -n "$RIG_NS" link set eth0 up
    ip -n "$RIG_DEV_NS" link set eth0 up
    ip -n "$RIG_NS" addr add "$RIG_HOST_ADDR/24" dev eth0
    ip -n "$RIG_DEV_NS" addr add "$RIG_DEVICE_ADDR/24" dev eth0
    ip -n "$RIG_NS" route replace default dev eth0
    rig_log "network namespace $RIG_NS (program, one network) and $RIG_DEV_NS (nothing answers) are up"
}

# The program namespace's routes beyond its own networks: the default route
# on eth0, and the far subnet through the device namespace.
rig_program_routes() {
    ip -n "$1" route replace default dev eth0
    ip -n "$1" route replace 10.201.9.0/24 via "$RIG_DEVICE_ADDR" dev eth0
}

rig_simulator_up() {
    # Its "fault" commands take the program namespace's network away for a test.
    ip netns exec "$RIG_DEV_NS" env CONNSETUP_FAULT_NS="$RIG_NS" CONNSETUP_FAULT_RELEASE="$RIG_BUILD/fault.release" \
        "$RIG_BUILD/tools/scansim" \
        --fault-script "$RIG_ROOT/tools/netfault" "$@" 2>"$RIG_BUILD/scansim.log" &
    RIG_PIDS+=($!)
    ip netns exec "$RIG_FAR_NS" "$RIG_BUILD/tools/scansim" --rule "$RIG_FAR_ADDR:1:6:100" \
        2>"$RIG_BUILD/scansim-far.log" &
    RIG_PIDS+=($!)
}

rig_xvfb_up() {
    local fifo=$RIG_BUILD/xvfb.display
    rm -f "$fifo"
    ip netns exec "$RIG_NS" Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" 2>/dev/null &
    RIG_PIDS+=($!)
    local _
    for _ in $(seq 50); do
        [ -s "$fifo" ] && break
        sleep 0.1
    done
    [ -s "$fifo" ] || { rig_log "Xvfb did not start"; return 1; }
    RIG_DISPLAY=:$(head -n 1 "$fifo")
    rig_log "Xvfb on $RIG_DISPLAY"
}

# rig_wine_up [PREFIX [REGFILE]]: a private Wine prefix (default: the build
# in use's own) whose wineserver runs inside the program namespace; REGFILE
# is imported into a new prefix after the rig's own settings.
# shellcheck disable=SC2120 # tools/try and tools/demo pass them
rig_wine_up() {
    export WINEPREFIX=${1:-$RIG_PREFIX}
    local extra=${2:-} reg
    RIG_PREFIXES+=("$WINEPREFIX")
    # A wineserver of this prefix started elsewhere would create our sockets
    # in its own namespace: stop it, so the first Wine process below starts
    # a new one inside ours.
    wineserver -k 2>/dev/null || true
    local _
    for _ in $(seq 50); do
        [ -z "$(rig_wineservers)" ] && break
        sleep 0.1
    done
    if [ -n "$(rig_wineservers)" ]; then
        rig_log "a wineserver of $WINEPREFIX is still running"
        return 1
    fi
    # A new prefix is made, and settled, by a server that ends with it.
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        rig_exec env WINEARCH="$RIG_ARCH" "$RIG_WINE" wineboot.exe -i >/dev/null 2>&1 || true
        for reg in "$RIG_ROOT/tools/wine-settings.reg" ${extra:+"$extra"}; do
            if ! rig_wine regedit /S "$reg" >/dev/null 2>&1; then
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
    rig_wine wineboot.exe </dev/null >/dev/null 2>&1 || true
    rig_exec "$RIG_ROOT/tools/wine-run" --check || return 1
    # The proof the guide asks for: where would a socket of a Wine program send from?
    local seen
    seen=$(rig_wine "$RIG_BIN/netcheck.exe" "$RIG_PROBE_ADDR" 2>/dev/null | tr -d '\r')
    # Wine's desktop process inherits the output of the program that starts
    # it and lingers after it: kept running from here, it holds no test's
    # output open (the server's end stops it).
    rig_wine "$RIG_BIN/netcheck.exe" --hold-desktop </dev/null >/dev/null 2>&1 &
    if [ "$seen" != "$RIG_HOST_ADDR" ]; then
        rig_log "refusing: a Wine socket would send from '${seen:-nowhere}', not $RIG_HOST_ADDR"
        return 1
    fi
    rig_log "Wine prefix $WINEPREFIX ($RIG_ARCH, $RIG_WINE) runs inside $RIG_NS (sockets send from $seen)"
}

# rig_shot TITLE FILE: a screenshot of the window titled TITLE (and a
# margin round it) once it shows, within 30 s.
rig_shot() {
    local geometry X='' Y='' WIDTH='' HEIGHT=''
    geometry=$(rig_exec timeout 30 xdotool search --sync --name "$1" getwindowgeometry --shell 2>/dev/null |
        tr '\n' ' ') || true
    eval "$(printf '%s' "$geometry" | grep -oE '(X|Y|WIDTH|HEIGHT)=[0-9]+' | tr '\n' ' ')"
    if [ -z "$X" ] || [ -z "$Y" ] || [ -z "$WIDTH" ] || [ -z "$HEIGHT" ]; then
        rig_log "cannot read the geometry of the window titled '$1' for $2"
        return 1
    fi
    # +repage: the crop keeps no offset into the screen.
    rig_exec import -window root -crop "$((WIDTH + 16))x$((HEIGHT + 16))+$((X - 8))+$((Y - 8))" +repage "$2"
}

# The network, a display and the prefix of the build chosen for this host.
rig_up() {
    trap rig_down EXIT
    rig_use_build "${RIG_PRESETS[0]}"
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
    [ -n "${RIG_FAR_NS:-}" ] && ip netns del "$RIG_FAR_NS" 2>/dev/null
    RIG_NS=
    RIG_DEV_NS=
    RIG_FAR_NS=
    return 0
}
