#!/bin/sh
# deb_lintian.sh DEB: Debian's own checks on fwtool's package; any tag fails, informational
# ones included (hardening, stripping, the description's length).
lintian --display-info --fail-on error,warning,info "$1"
