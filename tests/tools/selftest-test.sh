# Sourced by tools/test once the rig is down: the self-test bundle run as a
# Windows PC would run it, from its zip in a fresh folder, under Wine in a
# network namespace of its own with one network and no scanner:
#   - as it comes: status 0, the rig's tests skipped with their reason,
#     and each platform check with the result Wine gives;
#   - with every link down: status 0, what needs a network skipped;
#   - with the German language library removed: a status other than 0,
#     and the report names the tests that failed.
# Status 0 when all three went as said.

# The platform checks' results under Wine, with one network up, and with every link down.
SELFTEST_ONE_NETWORK=(
    "PASS  Windows Sockets 1.1 is granted as asked"
    "PASS  A resource-only library loads as data from the program's folder"
    "PASS  The manifest gives Common Controls 6"
    "SKIP  The manifest gives per-monitor DPI awareness v2 where Windows has it"
    "PASS  The three values round-trip as REG_BINARY"
    "PASS  What connscan diagnose reads"
    "PASS  This PC's name resolves to the IPv4 addresses of its up adapters"
    "PASS  A socket bound to each local address may send to 255.255.255.255"
    "PASS  A broadcast of this PC reaches a socket of this PC bound to the port"
    "PASS  Discover lists the simulated scanner on this PC"
    "PASS  OK stores the listed scanner"
)
SELFTEST_LINKS_DOWN=(
    "${SELFTEST_ONE_NETWORK[@]:0:6}"
    "SKIP  This PC's name resolves to the IPv4 addresses of its up adapters"
    "SKIP  A socket bound to each local address may send to 255.255.255.255"
    "SKIP  A broadcast of this PC reaches a socket of this PC bound to the port"
    "SKIP  Discover lists the simulated scanner on this PC"
    "SKIP  OK stores the listed scanner"
)

# selftest_run NAME [FILE]: unzips the bundle into a fresh folder NAME,
# removes FILE from it, and runs selftest.cmd there; SELFTEST_STATUS and
# SELFTEST_REPORT (its lines, without CR) tell how it went.
selftest_run() {
    local folder=$SELFTEST_DIR/$1
    rm -rf "$folder" && mkdir -p "$folder"
    unzip -q "$SELFTEST_ZIP" -d "$folder"
    folder=$(echo "$folder"/ConnSetup-selftest-*)
    [ -z "${2:-}" ] || rm "$folder/$2"
    # The proof, as every run here gives it: this shell and the prefix's
    # server inside the namespace.
    rig_exec "$RIG_ROOT/tools/wine-run" --check || return 1
    SELFTEST_STATUS=0
    (cd "$folder" && rig_exec timeout 700 "$RIG_WINE" cmd /c selftest.cmd </dev/null >"$folder.out" 2>&1) ||
        SELFTEST_STATUS=$?
    SELFTEST_REPORT=$(tr -d '\r' <"$folder/selftest-report.txt" 2>/dev/null | sed '1s/^\xef\xbb\xbf//')
    echo "self-test, $1: status $SELFTEST_STATUS; $(tail -n 1 <<<"$SELFTEST_REPORT")"
}

# selftest_expect WHAT CONDITION...: says WHAT failed unless CONDITION holds.
selftest_expect() {
    local what=$1
    shift
    "$@" && return 0
    echo "self-test: FAILED: $what" >&2
    SELFTEST_FAILED=1
}

selftest_has() { grep -qxF -- "$1" <<<"$SELFTEST_REPORT"; }

# selftest_bundle_test PRESET: the three runs of that build's bundle.
selftest_bundle_test() {
    local line
    SELFTEST_FAILED=0
    rig_use_build "$1"
    SELFTEST_DIR=$(dirname "$RIG_BIN")/selftest-run
    package "$(dirname "$RIG_BIN")" >/dev/null && package_selftest "$(dirname "$RIG_BIN")" >/dev/null || return 1
    rig_lone_network_up
    rig_xvfb_up
    rig_wine_up "$(dirname "$RIG_BIN")/wine-selftest" || return 1

    selftest_run one-network
    selftest_expect "one network: status $SELFTEST_STATUS" test "$SELFTEST_STATUS" -eq 0
    selftest_expect "one network: no summary line" grep -qE '^[0-9]+ passed, 0 failed, [0-9]+ skipped$' <<<"$SELFTEST_REPORT"
    selftest_expect "one network: the rig's tests are not skipped with their reason" \
        selftest_has "      needs the test rig's isolated networks and simulated scanners"
    for line in "${SELFTEST_ONE_NETWORK[@]}"; do
        selftest_expect "one network: no line '$line'" selftest_has "$line"
    done
    cp "$SELFTEST_DIR/one-network/"*/selftest-report.txt "$SELFTEST_DIR/one-network.txt" 2>/dev/null || true

    ip -n "$RIG_NS" link set eth0 down
    selftest_run links-down
    ip -n "$RIG_NS" link set eth0 up
    ip -n "$RIG_NS" route replace default dev eth0
    selftest_expect "links down: status $SELFTEST_STATUS" test "$SELFTEST_STATUS" -eq 0
    for line in "${SELFTEST_LINKS_DOWN[@]}"; do
        selftest_expect "links down: no line '$line'" selftest_has "$line"
    done

    selftest_run broken DEU.dll
    selftest_expect "without DEU.dll: status 0" test "$SELFTEST_STATUS" -ne 0
    for line in "FAIL  LanguageTest.AnotherCountryAnotherLanguage" \
        "FAIL  ResourceTest.EveryCaptionOfEverySampleLibraryFitsItsControlAt100And150Percent"; do
        selftest_expect "without DEU.dll: no line '$line'" selftest_has "$line"
    done
    rig_down
    return $SELFTEST_FAILED
}
