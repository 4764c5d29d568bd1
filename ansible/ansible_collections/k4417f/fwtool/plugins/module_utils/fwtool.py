# -*- coding: utf-8 -*-
# What both modules share: finding fwtool, running it with --json and reading its lines,
# and the words for its exit statuses.
from __future__ import absolute_import, division, print_function

__metaclass__ = type

import json

# The command line's own statuses; 1 to 34 are the update's error numbers, told by the
# instrument's end event.
STATUS_TEXT = {
    2: "the operator answered no",
    117: "no access to an instrument's device node",
    118: "the report was not written",
    119: "an instrument is being updated by another fwtool",
    120: "no instrument found",
    121: "a requested serial number is not on the bus",
    122: "several instruments found and none chosen",
    123: "no VISA library could be loaded",
    125: "usage error, or a file that cannot be opened or written",
    129: "stopped by SIGHUP",
    130: "stopped by SIGINT",
    143: "stopped by SIGTERM",
}
STOPPED = (129, 130, 143)


def common_options():
    return dict(
        visa=dict(type="str"),
        fwtool=dict(type="str", default="fwtool"),
    )


def run_fwtool(module, args):
    """Runs fwtool ARGS --json [--visa V]; returns rc, the JSON objects of stdout, stderr."""
    path = module.params["fwtool"]
    if "/" not in path:
        path = module.get_bin_path(path, required=True)
    argv = [path] + args + ["--json"]
    if module.params["visa"]:
        argv += ["--visa", module.params["visa"]]
    rc, out, err = module.run_command(argv)
    lines = []
    for text in out.splitlines():
        try:
            line = json.loads(text)
        except ValueError:
            continue
        if isinstance(line, dict):
            lines.append(line)
    return rc, lines, err


def status_message(rc, err):
    """fwtool's own words for a status (its last line on stderr), else the table's."""
    if rc < 0:
        return "fwtool was killed by signal %d" % -rc
    said = [line.strip() for line in err.splitlines() if line.strip()]
    if said and rc not in STOPPED:
        return "%s (exit status %d)" % (said[-1], rc)
    return "fwtool: %s (exit status %d)" % (STATUS_TEXT.get(rc, "error %d" % rc), rc)
