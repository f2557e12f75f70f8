# SPDX-License-Identifier: GPL-2.0-or-later
# Shared by scripts/run, scripts/test and scripts/package: the Debian
# packages the project needs, and the one place that installs them.

# What building and running the program needs (scripts/run).
BUILD_PACKAGES=(
    cmake g++ make pkg-config
    libgtk2.0-dev libx11-dev gettext
)

# What scripts/run needs besides, to show the program when there is no
# display: a private X server, and the tool that takes its picture (built
# from the test rig with -DQUORVANE_TOOLS=ON).
SHOW_PACKAGES=(
    xvfb libxtst-dev
)

# What the tests need to build, besides.
TEST_BUILD_PACKAGES=(
    libgtest-dev
)

# Everything else that scripts/test needs: the test, lint and benchmark
# tools, what builds, checks and tries the Debian package, and what a screen
# reader reads the program through (the toolkit's accessibility modules, a
# session bus, and the accessibility bus with its registry), and the Orca
# screen reader itself.
TEST_PACKAGES=(
    "${BUILD_PACKAGES[@]}" "${SHOW_PACKAGES[@]}" "${TEST_BUILD_PACKAGES[@]}"
    clang libclang-rt-14-dev clang-tidy clang-format
    locales
    twm xinit x11-utils
    groff-base man-db
    zenity gnuplot-nox
    build-essential dpkg-dev debhelper lintian devscripts desktop-file-utils autopkgtest
    acl attr e2fsprogs
    libgail-common libatk-adaptor at-spi2-core dbus-daemon
    orca python3-pyatspi
)

# Locales that the tests run the program in: one for each translation, and
# Pashto, whose decimal mark is neither "." nor "," (U+066B).
LOCALES=(de_DE.UTF-8 fr_FR.UTF-8 es_ES.UTF-8 it_IT.UTF-8 pt_BR.UTF-8 ru_RU.UTF-8 ja_JP.UTF-8
         ps_AF.UTF-8)

# ensure_packages PACKAGE...: installs those that are missing.
ensure_packages() {
    local missing=() package
    for package in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$package")
        fi
    done
    if [ ${#missing[@]} -eq 0 ]; then
        return 0
    fi
    if [ "$(id -u)" -ne 0 ]; then
        echo "Some packages are missing. Install them with:"
        echo "    sudo apt-get install ${missing[*]}"
        exit 1
    fi
    echo "Installing: ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# Generates the test locales that are missing (root only; others are told how).
ensure_locales() {
    local missing=() name available
    available=$(locale -a 2>/dev/null | tr 'A-Z' 'a-z' | sed 's/utf-8/utf8/')
    for name in "${LOCALES[@]}"; do
        local short
        short=$(echo "$name" | tr 'A-Z' 'a-z' | sed 's/utf-8/utf8/')
        grep -qx "$short" <<<"$available" || missing+=("$name")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "Some test locales are missing; tests that need them will skip. Generate them with:"
        echo "    sudo sh -c 'printf \"%s UTF-8\\n\" ${missing[*]} >>/etc/locale.gen && locale-gen'"
        return 0
    fi
    for name in "${missing[@]}"; do
        grep -qx "$name UTF-8" /etc/locale.gen || echo "$name UTF-8" >>/etc/locale.gen
    done
    locale-gen >/dev/null
}

# The version that CMakeLists.txt gives the project, which the program shows.
project_version() {
    sed -n 's/^project(quorvane VERSION \([^ )]*\).*/\1/p' "$root/CMakeLists.txt"
}

# configure_build [tools]: configures build/ for scripts/run and
# scripts/pictures, with the picture tools when asked. It passes no other
# option, so that the cache keeps what scripts/test or a developer set.
configure_build() {
    local options=()
    [ "${1:-}" = tools ] && options=(-DQUORVANE_TOOLS=ON)
    cmake -S "$root" -B "$root/build" "${options[@]}" >/dev/null
}

# Starts a private Xvfb, writes its pid to DIR/xvfb.pid and its messages to
# DIR/xvfb.log, and prints its display. -noreset: without it the server resets
# whenever its last client leaves, and drops a client that is connecting just
# then (one that polls for a window, leaving, while the program connects).
start_xvfb() {
    local dir=$1
    Xvfb -displayfd 3 -nolisten tcp -noreset -screen 0 1024x768x24 \
        3>"$dir/display" >"$dir/xvfb.log" 2>&1 &
    echo $! >"$dir/xvfb.pid"
    for _ in $(seq 1 400); do
        [ -s "$dir/display" ] && break
        sleep 0.05
    done
    if [ ! -s "$dir/display" ]; then
        echo "Xvfb did not start:" >&2
        cat "$dir/xvfb.log" >&2
        return 1
    fi
    echo ":$(head -n1 "$dir/display")"
}

jobs() {
    nproc 2>/dev/null || echo 2
}
