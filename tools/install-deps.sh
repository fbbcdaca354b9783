#!/usr/bin/env bash
# Installs the Debian 12 packages Plotwise needs to build, test and be looked at.
# Only missing packages are installed; where installing is impossible the script
# says which packages are needed and stops.
#   tools/install-deps.sh --bench   also what bench_archive's peers need
set -euo pipefail

packages=(
    build-essential cmake pkg-config
    qt6-base-dev qt6-charts-dev qt6-svg-dev
    libgl-dev libqt6opengl6-dev libxkbcommon-dev
    libpugixml-dev libcpp-httplib-dev libsqlite3-dev libmicrohttpd-dev
    fonts-dejavu-core fonts-urw-base35 # the second as on most desktops: the editor font test meets it
    xvfb openbox xdotool imagemagick x11-utils # windows looked at under a window manager
    clang libclang-rt-14-dev
    desktop-file-utils appstream man-db
    nginx-light libfaketime # the archive service behind a cache, its clock moved on
)
if [ "${1:-}" = "--bench" ]; then
    packages+=(python3 python3-pandas) # bench_archive's pandas and csv peers
    packages+=(wrk) # bench/serve_load.sh
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1; then
        SUDO=sudo
    else
        echo "These Debian packages are needed and this user cannot install them:" >&2
        echo "  apt-get install ${missing[*]}" >&2
        exit 1
    fi
else
    SUDO=
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
