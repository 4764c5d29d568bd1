#!/bin/sh
# deb_package.sh CPACK_CONFIG DIR: builds fwtool's Debian package as `make deb` does, unpacks
# it and runs the unpacked fwtool: its version, and a search through the kernel's USBTMC
# driver that finds nothing (120).
set -e
dir="$2/deb_package"
rm -rf "$dir" && mkdir -p "$dir" && cd "$dir"
fail() { echo "$*" >&2; exit 1; }
cpack --config "$1" -B "$dir" > cpack.out || fail "cpack: $(cat cpack.out)"
set -- fwtool_*_amd64.deb
[ -f "$1" ] || fail "no package: $(ls)"
dpkg-deb -x "$1" root
for file in usr/lib/udev/rules.d/60-k4417f-usbtmc.rules usr/share/man/man1/fwtool.1.gz \
    usr/share/doc/fwtool/README.md usr/lib/tmpfiles.d/fwtool.conf; do
    [ -s "root/$file" ] || fail "the package lacks /$file"
done
version=$(root/usr/bin/fwtool --version | head -1)
[ "$1" = "fwtool_${version#fwtool }_amd64.deb" ] || fail "version '$version' in $1"
status=0
env -u FWTOOL_VISA root/usr/bin/fwtool list --visa usbtmc > list.out 2>&1 || status=$?
[ "$status" -eq 120 ] || fail "list --visa usbtmc: exit $status, not 120: $(cat list.out)"
