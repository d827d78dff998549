# Shared by the scripts that run Windows programs under Wine. Source it; it defines functions only.

# Debian's `wine` starts the 32-bit loader whenever wine32 is installed, but some kernels run
# no 32-bit ELF programs at all (ia32 emulation off). Then only the 64-bit loader works, and it
# still runs every 64-bit Windows program.
wine_can_run_32bit() {
    [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1
}

# The release this machine runs: the 32-bit one where the kernel runs 32-bit programs,
# otherwise the 64-bit one.
wine_program_preset() {
    if wine_can_run_32bit; then echo x86-release; else echo x64-release; fi
}

wine_loader() {
    if wine_can_run_32bit; then
        echo wine
    elif [ -x /usr/lib/wine/wine64 ]; then
        echo /usr/lib/wine/wine64
    else
        echo wine
    fi
}

# Makes a fresh prefix at $1 (removing whatever was there). Once in seven runs from a fresh
# clone here, wineboot left the new prefix without its registry: it is then made once more.
wine_fresh_prefix() {
    local prefix=$1 attempt
    for attempt in 1 2; do
        if [ -d "$prefix" ]; then
            WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true
            rm -rf "$prefix"
        fi
        mkdir -p "$(dirname "$prefix")"
        WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
            "$(wine_loader)" wineboot -i >/dev/null 2>&1 || true
        WINEPREFIX=$prefix wineserver -w >/dev/null 2>&1 || true
        [ ! -f "$prefix/system.reg" ] || return 0
    done
    return 1
}

# Starts the wineserver of the prefix at $1 for good: it runs until wine_end_prefix ends it.
#
# Debian's wineserver runs with -p0: it begins to shut down as soon as no program of its prefix
# runs, takes a second or more to end its own processes (services, explorer, ...), and a `wine`
# command started meanwhile starts a second wineserver that boots those anew. Measured here,
# under a pause and three commands in a row, two wineservers of one prefix ran at once in 64 of
# 150 cycles. On a machine that runs 32-bit programs, a command started in such a moment now and
# then did not start at all: Wine's start program, which runs every 64-bit program that the
# 32-bit `wine` is given, printed "ShellExecuteEx failed: Internal error." (its child died
# before it began). A wineserver started with -p never begins to shut down.
#
# The prefix's own processes (services and the rest) start with the first program, keep its
# standard error and, under this wineserver, run to the end: a program with nothing to say
# starts them here, so that no test's output stays open behind it.
wine_keep_server() {
    WINEPREFIX=$1 wineserver -p >/dev/null 2>&1 &&
        WINEPREFIX=$1 WINEDEBUG=-all "$(wine_loader)" cmd /c exit </dev/null >/dev/null 2>&1
}

# Puts a stand-in system DLL (powrprof or pdh) where Windows keeps the real one, for the
# programs of a build:
#   wine_install_standin NAME PREFIX PRESET [DLL]
# The program loads NAME.dll from the system directory only: system32 for 64-bit programs,
# syswow64 for 32-bit ones in a 64-bit prefix (system32 in a 32-bit one). DLL defaults to the
# preset's stand-in, build/PRESET/powersim/NAME.dll; "wine" puts Wine's own file back, kept
# beside it as NAME.dll.wine the first time. Run the programs with WINEDLLOVERRIDES="NAME=n,b"
# so that Wine takes a native file over its builtin DLL.
wine_install_standin() {
    local name=$1 prefix=$2 preset=$3 dll=${4:-} root dir
    root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
    dir=$prefix/drive_c/windows/system32
    case $preset in x86*) [ ! -d "$prefix/drive_c/windows/syswow64" ] || dir=$prefix/drive_c/windows/syswow64 ;; esac
    [ -f "$dir/$name.dll.wine" ] || cp "$dir/$name.dll" "$dir/$name.dll.wine" || return 1
    [ "$dll" != wine ] || dll=$dir/$name.dll.wine
    # A new file renamed into place: a program still running keeps the one it mapped.
    cp "${dll:-$root/build/$preset/powersim/$name.dll}" "$dir/$name.dll.new" &&
        mv -f "$dir/$name.dll.new" "$dir/$name.dll"
}
wine_install_powrprof() { wine_install_standin powrprof "$@"; }

# Ends every process of the prefix at $1 (only that prefix's wineserver and its clients).
wine_end_prefix() {
    WINEPREFIX=$1 wineserver -k >/dev/null 2>&1 || true
}

# Starts a private X server on the first free display number and prints "display pid".
xvfb_start() {
    local n
    for n in $(seq 91 140); do
        if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
            Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
            local pid=$!
            local i
            for i in $(seq 1 50); do
                if [ -e "/tmp/.X11-unix/X$n" ]; then
                    echo ":$n $pid"
                    return 0
                fi
                sleep 0.1
            done
            kill "$pid" 2>/dev/null || true
        fi
    done
    return 1
}
