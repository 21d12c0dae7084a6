# Builds the Windows program and tests (cross) and the native simulator.
# Sourced by tools/test, tools/package, tools/demo, tools/bench.

# The build date of every output: the last commit's, unless set; a fixed
# date outside a git checkout. Never the time of the build.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || echo 1704067200)
fi
export SOURCE_DATE_EPOCH

[ "$(type -t rig_preset_dir)" = function ] || . "$(dirname "${BASH_SOURCE[0]}")/rig.sh"

# build_preset PRESET: one Windows build (into the folder rig_preset_dir
# names), with the Japanese locale its code page 932 test runs in.
build_preset() {
    local dir
    dir=$(rig_preset_dir "$1")
    cmake --preset "$1" >/dev/null
    cmake --build --preset "$1"
    mkdir -p "$dir/locale"
    [ -d "$dir/locale/ja_JP.UTF-8" ] || localedef -i ja_JP -f UTF-8 "$dir/locale/ja_JP.UTF-8"
}

# The native scanner simulator.
build_simulator() {
    mkdir -p build/tools
    if [ ! build/tools/scansim -nt tools/scansim.cpp ]; then
        g++ -std=c++17 -O2 -Wall -Wextra -Werror -pthread -o build/tools/scansim tools/scansim.cpp
    fi
}

# The 32-bit build and the native scanner simulator.
build_all() {
    build_preset mingw32
    build_simulator
}

# The same sources for x86_64, into build64/.
build_64() {
    build_preset mingw64
}

# package [BUILD]: BUILD/dist/ConnSetup-VERSION.zip (BUILD is build, the
# shipped 32-bit package, unless named): the programs, the sample language
# libraries, a sample twain.ini, the install note and SHA256SUMS, with
# the zip's .sha256 beside it. The same bytes from
# the same commit: fixed file times, modes and order, no extra attributes.
# With CONNSETUP_SIGN_PFX (and CONNSETUP_SIGN_PASS, and optionally
# CONNSETUP_SIGN_TIMESTAMP, a time-stamp server's address) the programs and
# libraries are signed with Authenticode first.
package() {
    local dir=${1:-build} name stage f
    name=ConnSetup-$(package_version)
    stage=$dir/dist/$name
    rm -rf "$stage" "$dir/dist/$name.zip" "$dir/dist/$name.zip.sha256"
    mkdir -p "$stage"
    cp "$dir"/bin/{ConnSetup.exe,connscan.exe,ENG.dll,DEU.dll,FRA.dll,JPN.dll} "$stage/"
    # Text files with Windows line ends: Notepad before Windows 10 1809 shows LF alone as one line.
    sed 's/\r*$/\r/' lang/twain.ini >"$stage/twain.ini"
    sed "s/@VERSION@/$(package_version)/; s/\r*\$/\r/" docs/INSTALL.txt >"$stage/INSTALL.txt"
    if [ -n "${CONNSETUP_SIGN_PFX:-}" ]; then
        for f in "$stage"/*.exe "$stage"/*.dll; do
            sign_file "$f" || return 1
        done
    fi
    (cd "$stage" && mapfile -t files < <(LC_ALL=C ls) && LC_ALL=C sha256sum -- "${files[@]}" >SHA256SUMS)
    zip_folder "$dir/dist" "$name"
    PACKAGE_ZIP=$dir/dist/$name.zip
    echo "package: $PACKAGE_ZIP"
}

# The version in CMakeLists.txt.
package_version() {
    sed -n 's/^project(ConnSetup VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt
}

# zip_folder DIST NAME: DIST/NAME.zip of the folder DIST/NAME, which goes,
# with its .sha256 beside it. The same bytes from the same files: fixed
# file times, modes and order, no extra attributes.
zip_folder() {
    chmod 0644 "$1/$2"/*
    chmod 0755 "$1/$2"
    touch -h -d "@$SOURCE_DATE_EPOCH" "$1/$2"/* "$1/$2"
    (cd "$1" && LC_ALL=C find "$2" -print | LC_ALL=C sort | TZ=UTC zip -qX -D --names-stdin "$2.zip")
    (cd "$1" && sha256sum "$2.zip" >"$2.zip.sha256")
    rm -rf "${1:?}/$2"
}

# The files of the self-test bundle beyond the package's programs and
# libraries: the test programs and libraries, the runner, the simulated
# scanner for Windows; then the texts made from tests/selftest.
SELFTEST_FILES=(unit_tests.exe dialog_tests.exe net_tests.exe selftest.exe scansim.exe TST.dll RUN.dll)

# package_selftest [BUILD]: BUILD/dist/ConnSetup-selftest-VERSION.zip, after
# package: the package's programs and libraries taken from its zip (the
# same bytes), SELFTEST_FILES from BUILD/bin, selftest.cmd and README.txt.
# Reproducible as the package is, and no part of it.
package_selftest() {
    local dir=${1:-build} name stage f
    name=ConnSetup-selftest-$(package_version)
    stage=$dir/dist/$name
    rm -rf "$stage" "$dir/dist/$name.zip" "$dir/dist/$name.zip.sha256"
    mkdir -p "$stage"
    unzip -q -j "$dir/dist/ConnSetup-$(package_version).zip" '*.exe' '*.dll' -d "$stage"
    for f in "${SELFTEST_FILES[@]}"; do cp "$dir/bin/$f" "$stage/"; done
    sed 's/\r*$/\r/' tests/selftest/selftest.cmd >"$stage/selftest.cmd"
    sed "s/@VERSION@/$(package_version)/; s/\r*\$/\r/" tests/selftest/README.txt >"$stage/README.txt"
    zip_folder "$dir/dist" "$name"
    SELFTEST_ZIP=$dir/dist/$name.zip
    echo "self-test: $SELFTEST_ZIP"
}

# unzip_package_for_tests DIR: the package made of DIR/bin's programs,
# unzipped in DIR/dist/unzipped for the package test.
unzip_package_for_tests() {
    package "$1" >/dev/null
    rm -rf "$1/dist/unzipped" && unzip -q "$PACKAGE_ZIP" -d "$1/dist/unzipped"
}

# Signs one PE file in place (SHA-256 Authenticode).
sign_file() {
    local args=(sign -pkcs12 "$CONNSETUP_SIGN_PFX" -pass "${CONNSETUP_SIGN_PASS:-}" -h sha256 -n "ConnSetup")
    [ -n "${CONNSETUP_SIGN_TIMESTAMP:-}" ] && args+=(-ts "$CONNSETUP_SIGN_TIMESTAMP")
    if ! osslsigncode "${args[@]}" -in "$1" -out "$1.signed" >/dev/null; then
        echo "package: signing $1 failed" >&2
        return 1
    fi
    mv "$1.signed" "$1"
}
