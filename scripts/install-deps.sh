#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need. As root it runs apt-get;
# otherwise it prints the exact command and fails, so nothing half-builds.
set -euo pipefail
packages=(
  cmake ninja-build g++ make pkg-config libudev-dev
  umockdev libumockdev-dev libglib2.0-dev help2man dpkg-dev lintian
  googletest libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev libcli11-dev
  clang libclang-rt-14-dev
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-tools
  python3
  qemu-system-x86 busybox-static
  wine wine64 xvfb xauth imagemagick fonts-wqy-microhei fonts-liberation fonts-wine fp-utils
  ansible-core ansible-lint
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
cmd="apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages. Run as root:" >&2
  echo "  $cmd" >&2
  exit 1
fi
echo "Installing: ${missing[*]}"
apt-get update -qq
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
