#!/bin/sh
# run.sh COLLECTIONS CASE [ANSIBLE-PLAYBOOK OPTIONS...]: runs the play of stations.yml tagged
# CASE with the collection found under COLLECTIONS. CASE "doc": ansible-doc renders each
# module with its options, examples and return values; "build DIR": ansible-galaxy builds
# the collection's file into DIR, as `make ansible` does.
set -e
export ANSIBLE_COLLECTIONS_PATH="$1" LC_ALL=C.UTF-8 ANSIBLE_NOCOLOR=1 \
    ANSIBLE_LOCALHOST_WARNING=False ANSIBLE_INVENTORY_UNPARSED_WARNING=False \
    ANSIBLE_RETRY_FILES_ENABLED=False
case="$2"
shift 2
if [ "$case" = build ]; then
    rm -rf "$1"
    ansible-galaxy collection build "$ANSIBLE_COLLECTIONS_PATH/ansible_collections/k4417f/fwtool" \
        --output-path "$1"
    tar tzf "$1"/k4417f-fwtool-*.tar.gz | grep -qx plugins/modules/update.py
    exit
fi
if [ "$case" != doc ]; then
    # Instrument locks of this play's own: other tests update the same serials meanwhile.
    XDG_RUNTIME_DIR=$(mktemp -d)
    export XDG_RUNTIME_DIR
    trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
    ansible-playbook "$(dirname "$0")/stations.yml" --tags "$case" "$@"
    exit
fi
for module in instruments update; do
    text=$(ansible-doc -t module "k4417f.fwtool.$module" 2>&1) || { echo "$text"; exit 1; }
    for part in OPTIONS EXAMPLES "RETURN VALUES"; do
        echo "$text" | grep -q "^$part" || { echo "$text"; echo "$module: no $part" >&2; exit 1; }
    done
done
