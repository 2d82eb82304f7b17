#!/usr/bin/env bash
# One entry for a newcomer: ./tavro.sh demo | test | bench | build
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(cmake ninja-build g++ qt6-base-dev qt6-serialport-dev libgl-dev qt6-qpa-plugins)

install_missing() {
    local missing=()
    for p in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

build() { # build DIR [cmake options...]
    local dir=$1; shift
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    cmake --build "$dir"
}

start_sim() { # start_sim ARGS...: starts tavro-sim, sets SIM_PID and SIM_DEVICE
    local out
    out=$(mktemp)
    ./build/tavro-sim --exit-with-parent "$@" >"$out" &
    SIM_PID=$!
    for _ in $(seq 100); do
        SIM_DEVICE=$(head -n 1 "$out" 2>/dev/null || true)
        [ -n "$SIM_DEVICE" ] && break
        sleep 0.05
    done
    rm -f "$out"
    [ -n "$SIM_DEVICE" ] || { echo "tavro-sim did not start" >&2; exit 1; }
}

cmd=${1:-help}
case "$cmd" in
demo)
    install_missing
    build build
    state_dir="${XDG_CONFIG_HOME:-$HOME/.config}/Tavro"
    mkdir -p "$state_dir"
    # The simulated instrument keeps what is written to it, as a real one keeps its settings.
    start_sim --emulate-line --baud 9600 --state "$state_dir/tavro-sim.state"
    trap 'kill $SIM_PID 2>/dev/null' EXIT
    echo "Instrument simulator on $SIM_DEVICE (logical number 1), mapped to Comm1"
    ./build/tavro --port-map "1=$SIM_DEVICE"
    ;;
build)
    install_missing
    build build
    ;;
test)
    install_missing
    build build
    (cd build && ctest --output-on-failure -j2)
    # The robustness tests once more under AddressSanitizer and UndefinedBehaviorSanitizer.
    cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVRO_SANITIZE=ON >/dev/null
    cmake --build build-asan --target tst_robust tst_robust_window
    (cd build-asan && ASAN_OPTIONS=detect_leaks=0 ctest --output-on-failure -j2 -R 'tst_robust')
    ;;
bench)
    install_missing
    build build
    ./build/tavro-bench
    ;;
*)
    echo "usage: $0 demo | test | bench | build"
    exit 2
    ;;
esac
