# Builds the Windows program and tests (cross) and the native simulator.
build_all() {
    cmake --preset mingw32 >/dev/null
    cmake --build --preset mingw32
    mkdir -p build/tools build/locale
    # A Japanese locale for the code page 932 run.
    [ -d build/locale/ja_JP.UTF-8 ] || localedef -i ja_JP -f UTF-8 build/locale/ja_JP.UTF-8
    if [ ! build/tools/scansim -nt tools/scansim.cpp ]; then
        g++ -std=c++17 -O2 -Wall -Wextra -Werror -pthread -o build/tools/scansim tools/scansim.cpp
    fi
}

# The same sources for x86_64, into build64/.
build_64() {
    cmake --preset mingw64 >/dev/null
    cmake --build --preset mingw64
}

# build/dist/ConnSetup-VERSION.zip: the program, the sample language
# libraries, a sample twain.ini and the install note.
package() {
    local version name stage
    version=$(sed -n 's/^project(ConnSetup VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
    name=ConnSetup-$version
    stage=build/dist/$name
    rm -rf build/dist
    mkdir -p "$stage"
    cp build/bin/ConnSetup.exe build/bin/ENG.dll build/bin/DEU.dll build/bin/FRA.dll build/bin/JPN.dll \
        lang/twain.ini docs/INSTALL.txt "$stage/"
    (cd build/dist && zip -qrX "$name.zip" "$name")
    rm -rf "$stage"
    PACKAGE_ZIP=build/dist/$name.zip
    echo "package: $PACKAGE_ZIP"
}
