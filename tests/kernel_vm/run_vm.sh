#!/bin/sh
# run_vm.sh DIR CASE: boots the test guest (DIR/vmlinuz, DIR/initramfs.gz) for CASE of
# guest_cases.sh and passes when the case does. The case's output comes back through the
# guest's second serial port (DIR/CASE/result.log), the kernel's through the first
# (console.log). A guest that does not power off in time is killed: the case fails.
#
# CASE "probe" boots once with KVM; when that guest comes back in time, later boots use
# KVM, otherwise QEMU's own emulation (DIR/accel).
dir="$1"
case_name="$2"
work="$dir/$case_name"
rm -rf "$work" && mkdir -p "$work"
boot() {
    start=$(date +%s)
    timeout -k 5 "$2" qemu-system-x86_64 -accel "$1" -m 512 -smp 1 -display none \
        -monitor none -no-reboot -kernel "$dir/vmlinuz" -initrd "$dir/initramfs.gz" \
        -append "console=ttyS0 panic=-1 edd=off fwcase=$3" \
        -serial "file:$work/console.log" -serial "file:$work/result.log" > "$work/qemu.log" 2>&1
    status=$?
    echo "$case_name: booted with $1 in $(($(date +%s) - start)) s, status $status"
    [ "$status" -eq 0 ] && grep -q '^END' "$work/result.log"
}
if [ "$case_name" = probe ]; then
    if [ -w /dev/kvm ] && boot kvm 40 probe && grep -q '^PASS' "$work/result.log"; then
        echo kvm > "$dir/accel"
    else
        echo tcg > "$dir/accel"
    fi
    echo "guests run with $(cat "$dir/accel")"
    exit 0
fi
accel=$(cat "$dir/accel" 2> /dev/null || echo tcg)
boot "$accel" 400 "$case_name" || echo "the guest did not end by itself"
tr -d '\r' < "$work/result.log" > "$work/result.txt"  # the serial line ends lines with CR LF
cat "$work/result.txt"
[ "$(grep -v '^END$' "$work/result.txt" | tail -1)" = PASS ]
