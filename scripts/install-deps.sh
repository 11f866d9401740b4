#!/usr/bin/env bash
# Installs the Debian packages a build (and, with --test, the test suite)
# needs. Installs only what is missing, so running it again costs nothing.
set -euo pipefail

packages=(cmake ninja-build g++ libgtest-dev libgmock-dev libbenchmark-dev)
# The picture library writes PNG; the front end's extension is built against Tcl/Tk.
packages+=(libpng-dev tcl8.6-dev tk8.6-dev)
if [[ "${1:-}" == "--test" || "${1:-}" == "--gui" ]]; then
  packages+=(tcl8.6 tk8.6 fonts-dejavu-core procps)
fi
if [[ "${1:-}" == "--test" ]]; then
  # libclang-rt-14-dev: libFuzzer's runtime, for the fuzz build.
  packages+=(clang libclang-rt-14-dev xvfb xauth x11-apps netpbm fonts-dejavu-core procps python3-vtk9 python3-numpy)
  # The Debian package test: dpkg-shlibdeps and dpkg-parsechangelog, and the
  # manual pages rendered by groff and man.
  packages+=(dpkg-dev groff-base man-db)
  # The arm64 cross build and user-mode emulation to run it (and to run the
  # x86-64 build as a processor without AVX2 would).
  packages+=(g++-aarch64-linux-gnu qemu-user)
  # gridorb-export's tests: an independent cube reader, and many folders at once.
  packages+=(python3-ase parallel)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  if [[ $(id -u) -ne 0 ]]; then
    echo "error: packages are missing and only root can install them: ${missing[*]}" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
