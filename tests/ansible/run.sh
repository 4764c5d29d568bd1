#!/bin/sh
# run.sh COLLECTIONS CASE [ANSIBLE-PLAYBOOK OPTIONS...]: runs the play of stations.yml tagged
# CASE with the collection found under COLLECTIONS. CASE "rerun": the play tagged rerun twice
# on one instrument, the first run changing one task, the second none, neither failing;
# "doc": ansible-doc renders each module with its options, examples and return values;
# "build DIR": ansible-galaxy builds the collection's file into DIR, as `make ansible` does;
# "lint": ansible-lint (production profile, offline) finds nothing in the collection nor in
# these plays.
set -e
export ANSIBLE_COLLECTIONS_PATH="$1" LC_ALL=C.UTF-8 ANSIBLE_NOCOLOR=1 \
    ANSIBLE_LOCALHOST_WARNING=False ANSIBLE_INVENTORY_UNPARSED_WARNING=False \
    ANSIBLE_RETRY_FILES_ENABLED=False
case="$2"
shift 2
here=$(cd "$(dirname "$0")" && pwd)
if [ "$case" = lint ]; then
    (cd "$ANSIBLE_COLLECTIONS_PATH/ansible_collections/k4417f/fwtool" &&
        ansible-lint --offline --profile production --nocolor)
    cd "$here" && exec ansible-lint --offline --profile production --nocolor \
        stations.yml prepare.yml vars.yml
fi
if [ "$case" = build ]; then
    rm -rf "$1"
    ansible-galaxy collection build "$ANSIBLE_COLLECTIONS_PATH/ansible_collections/k4417f/fwtool" \
        --output-path "$1"
    tar tzf "$1"/k4417f-fwtool-*.tar.gz | grep -qx plugins/modules/update.py
    exit
fi
if [ "$case" != doc ]; then
    # Serials of this run's own: instrument locks are the machine's, and other tests update
    # instruments meanwhile.
    set -- "$@" -e "serial_base=TW$(printf '%07d' $(($$ % 10000000)))"
    XDG_RUNTIME_DIR=$(mktemp -d)
    export XDG_RUNTIME_DIR
    trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
    if [ "$case" != rerun ]; then
        ansible-playbook "$here/stations.yml" --tags "$case" "$@"
        exit
    fi
    ansible-playbook "$here/stations.yml" --tags rerun_prepare "$@" >/dev/null
    for run in 1 2; do
        out=$(ansible-playbook "$here/stations.yml" --tags rerun -e run=$run "$@") ||
            { echo "$out"; exit 1; }
        echo "$out"
        echo "$out" | grep -Eq "^localhost +: ok=[0-9]+ +changed=$((2 - run)) +unreachable=0 +failed=0 " ||
            { echo "run $run: not changed=$((2 - run)) failed=0" >&2; exit 1; }
    done
    exit
fi
for module in instruments update; do
    text=$(ansible-doc -t module "k4417f.fwtool.$module" 2>&1) || { echo "$text"; exit 1; }
    for part in OPTIONS EXAMPLES "RETURN VALUES"; do
        echo "$text" | grep -q "^$part" || { echo "$text"; echo "$module: no $part" >&2; exit 1; }
    done
done
