#!/bin/sh
# operator_readme.sh README OUT: the title and the operators' section of README (up to the
# developers' section) as OUT, the package's documentation.
set -e
awk 'NR == 1 { print; print ""; next }
     /^## For developers/ { exit }
     /^## For operators/ { keep = 1 }
     keep' "$1" > "$2"
