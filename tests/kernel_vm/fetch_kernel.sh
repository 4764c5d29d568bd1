#!/bin/sh
# fetch_kernel.sh CACHE: Debian's own kernel, the package linux-image-amd64 depends on,
# fetched and unpacked (never installed) into CACHE/<version>/, of which only vmlinuz and
# the modules the guest loads are kept. Prints that folder.
set -e
cache="$1"
package=$(apt-cache depends linux-image-amd64 | awk '/Depends: linux-image-[0-9]/ { print $2; exit }')
[ -n "$package" ] || { echo "fetch_kernel.sh: no kernel behind linux-image-amd64" >&2; exit 1; }
version=${package#linux-image-}
out="$cache/$version"
if [ ! -f "$out/vmlinuz" ]; then
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    (cd "$work" && apt-get download -q -o APT::Sandbox::User=root "$package" >&2)
    dpkg-deb -x "$work"/*.deb "$work/root"
    rm -rf "$out.part" && mkdir -p "$out.part"
    cp "$work/root/boot/vmlinuz-$version" "$out.part/vmlinuz"
    for module in usb-common usbcore udc-core dummy_hcd configfs libcomposite usb_f_fs usbtmc; do
        found=$(find "$work/root/lib/modules/$version" -name "$module.ko")
        [ -n "$found" ] || { echo "fetch_kernel.sh: $module.ko not in $package" >&2; exit 1; }
        cp "$found" "$out.part/"
    done
    mv "$out.part" "$out"
fi
echo "$out"
