#!/bin/sh
# man_commands.sh FWTOOL OUT: a help2man include file whose COMMANDS section holds every
# command's own --help, as the man page's readers would otherwise miss them.
set -e
{
    echo "[COMMANDS]"
    for command in check pack list update; do
        echo ".SS \"fwtool $command\""
        echo ".nf"
        "$1" "$command" --help | sed -e 's/\\/\\e/g' -e "s/^\\([.']\\)/\\\\\\&\\1/"
        echo ".fi"
    done
} > "$2"
