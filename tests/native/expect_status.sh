#!/bin/sh
# expect_status.sh STATUS COMMAND...: runs COMMAND and succeeds when it exits with STATUS.
want="$1"
shift
"$@"
got=$?
if [ "$got" -ne "$want" ]; then
    echo "expected exit status $want, got $got: $*" >&2
    exit 1
fi
exit 0
