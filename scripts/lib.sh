# Shared by scripts/run and scripts/test: the Debian packages the project
# needs, and the one place that installs them.

PACKAGES=(
    cmake g++ make pkg-config
    libgtk2.0-dev gettext
    libgtest-dev
    xvfb libx11-dev libxtst-dev
    clang libclang-rt-14-dev
)

ensure_packages() {
    local missing=() package
    for package in "${PACKAGES[@]}"; do
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

jobs() {
    nproc 2>/dev/null || echo 2
}
