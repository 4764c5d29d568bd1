#!/bin/sh
# build_initramfs.sh DIR FWTOOL GADGET SIMLIB: the test guest, DIR/vmlinuz (Debian's, see
# fetch_kernel.sh, cached under DIR/kernel) and DIR/initramfs.gz: busybox-static, the
# kernel's modules, fwtool, the
# gadget and the simulator library with the shared libraries ldd lists for them, chrt, and
# the guest's scripts. Everything the guest runs lies under /fw.
set -e
dir="$1"
here=$(cd "$(dirname "$0")" && pwd)
kernel=$(sh "$here/fetch_kernel.sh" "$dir/kernel")
out="$dir/initramfs.gz"
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
mkdir -p "$root/bin" "$root/fw/modules" "$root/dev" "$root/proc" "$root/sys" "$root/tmp" \
    "$root/run"
cp /bin/busybox "$root/bin/busybox"
cp "$kernel"/*.ko "$root/fw/modules/"
shift
for program in "$@" "$(command -v chrt)"; do
    strip --strip-debug -o "$root/fw/$(basename "$program")" "$program"
    # "libx.so.1 => /lib/x86_64-linux-gnu/libx.so.1 (0x...)" and the loader's own line.
    for lib in $(ldd "$program" | awk '/=> \// { print $3 } /^\t\/[^ ]+ \(/ { print $1 }'); do
        mkdir -p "$root$(dirname "$lib")"
        cp -L "$lib" "$root$lib"
    done
done
cp "$here/guest_init.sh" "$root/init"
cp "$here/guest_cases.sh" "$here/../native/make_sample.sh" "$root/fw/"
chmod +x "$root/init"
(cd "$root" && find . | /bin/busybox cpio -o -H newc 2>/dev/null) | gzip -1 > "$out.part"
mv "$out.part" "$out"
cp "$kernel/vmlinuz" "$dir/vmlinuz"
