#!/bin/busybox sh
# The test guest's init: loads the USB modules (no modules.dep: in dependency order), gives
# the usbmisc nodes the entries udevd would write, runs the case named on the kernel's
# command line (fwcase=NAME) with its output on the second serial port, and powers off.
/bin/busybox --install -s /bin
export PATH=/bin:/fw
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
mount -t tmpfs tmp /tmp
mount -t tmpfs run /run
# The machine's lock folder, as Debian's boot makes it: fwtool takes its instrument locks there.
mkdir -p -m 1777 /run/lock
for word in $(cat /proc/cmdline); do
    case "$word" in fwcase=*) case_name=${word#fwcase=} ;; esac
done
. /fw/guest_cases.sh
for module in usb-common usbcore udc-core dummy_hcd configfs libcomposite usb_f_fs usbtmc; do
    args=""
    [ "$module" = dummy_hcd ] && args="num=$(udcs "$case_name")"
    insmod "/fw/modules/$module.ko" $args || echo "insmod $module failed" > /dev/ttyS1
done
mount -t configfs none /sys/kernel/config
# libudev counts a device as initialized only once udevd has written its entry.
(
    mkdir -p /run/udev/data
    while :; do
        for dev in /sys/class/usbmisc/*/dev; do
            [ -e "$dev" ] && : > "/run/udev/data/c$(cat "$dev")"
        done
        sleep 0.1
    done
) &
mkdir -p /tmp/case && cd /tmp/case
(run_case "$case_name") > /dev/ttyS1 2>&1
echo "END" > /dev/ttyS1
poweroff -f
