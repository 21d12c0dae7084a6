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
