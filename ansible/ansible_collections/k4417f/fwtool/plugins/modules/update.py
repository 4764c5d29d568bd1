#!/usr/bin/python
# -*- coding: utf-8 -*-
from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
module: update
short_description: Update the firmware of the K4417F instruments attached to a station
description:
  - Runs C(fwtool update FILE --yes --json) on the station. Every chosen instrument is
    switched into its writer mode and each firmware section written into its flash, the
    instruments of one station at the same time.
  - Never asks anything. Without C(serials) or C(all), the station must have exactly one
    instrument.
  - Fails for any exit status of fwtool but 0, with the results of the instruments that ran.
version_added: 1.0.0
author: K4417F firmware update utility developers
options:
  file:
    description:
      - The firmware revision file, on the station.
    type: path
    required: true
  serials:
    description:
      - The serial numbers of the instruments to update (letter case ignored).
    type: list
    elements: str
  all:
    description:
      - Update every instrument found on the station.
    type: bool
    default: false
  report:
    description:
      - A file on the station to which fwtool appends one JSON line per instrument
        (time, serial, resource, file, revisions, code, message, seconds).
      - Not written in check mode.
    type: path
  visa:
    description:
      - The VISA library fwtool loads on the station (its C(--visa)).
      - Unset, fwtool takes C($FWTOOL_VISA), else the platform's usual libraries.
    type: str
  fwtool:
    description:
      - fwtool on the station, a path or a name looked up in C($PATH).
    type: str
    default: fwtool
attributes:
  check_mode:
    support: full
    details: Runs C(fwtool update --dry-run), which connects, identifies and compares
      revisions, sending nothing but C(*IDN?). C(changed) tells whether the update would go ahead.
  diff_mode:
    support: full
    details: Per instrument, the revision field it reported before and the file's revision.
notes:
  - The station needs fwtool and a VISA library; Python 3.9 or later.
  - C(serials) and C(all) are mutually exclusive.
  - Exit statuses named in C(msg) include 117 (no access to the instrument's device node),
    118 (the report was not written; the results are still returned), 119 (an instrument
    is being updated by another fwtool), 120 (no instrument), 121 (a serial not on the
    bus), 122 (several instruments and no choice), 123 (no VISA library), 125 (usage or an
    unreadable file) and 129, 130, 143 (fwtool was stopped; the sections being written
    were finished first).
seealso:
  - module: k4417f.fwtool.instruments
"""

EXAMPLES = r"""
- name: Update two instruments of a station
  k4417f.fwtool.update:
    file: /srv/firmware/K4417F-2.10.0.fw
    serials: [TW00012345, TW00067890]
    report: /var/log/k4417f/updates.jsonl

- name: Would every instrument take the file? (check mode: nothing is written)
  k4417f.fwtool.update:
    file: /srv/firmware/K4417F-2.10.0.fw
    all: true
  check_mode: true
  diff: true

- name: Every instrument, through a given VISA library
  k4417f.fwtool.update:
    file: /srv/firmware/K4417F-2.10.0.fw
    all: true
    visa: /opt/visa/lib/libvisa.so
  register: result
"""

RETURN = r"""
rc:
  description: fwtool's exit status, 0 or the first failed instrument's error number, or one
    of the command line's own statuses (see the notes).
  returned: always
  type: int
  sample: 0
instruments:
  description: One entry per instrument that ran, in the order they ended.
  returned: always
  type: list
  elements: dict
  contains:
    serial:
      description: The serial number.
      type: str
      sample: TW00012345
    resource:
      description: The VISA resource name, such as C(USB0::0x0D3F::0x1141::TW00012345::INSTR).
      type: str
    code:
      description: The instrument's result, 0 when it completed (or, in check mode, when
        the update would go ahead), else its error number.
      type: int
      sample: 0
    message:
      description: The message of that result (empty for some error numbers).
      type: str
      sample: Update is complete.
    seconds:
      description: How long the instrument's run took.
      type: float
      sample: 41.2
changed:
  description: True when at least one instrument was written (in check mode, when the
    update would go ahead on at least one).
  returned: always
  type: bool
msg:
  description: What happened; on failure the first failed serial and its error number and
    message, or fwtool's own message.
  returned: always
  type: str
  sample: "TW00067890: error 18 at 'Write to flash ...'"
stderr:
  description: What fwtool said on its standard error.
  returned: when fwtool said something there
  type: str
"""

import json
import os

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.k4417f.fwtool.plugins.module_utils.fwtool import (
    STOPPED,
    common_options,
    run_fwtool,
    status_message,
)

END_KEYS = ("serial", "resource", "code", "message", "seconds")
REPORT_NOT_WRITTEN = 118
# The log line of a section that reached the instrument's flash.
SECTION_WRITTEN = "Write to flash ... OK"


def report_lines(path, offset):
    """The JSON lines appended to the report from `offset` on."""
    try:
        with open(path, "rb") as report:
            report.seek(offset)
            texts = report.read().decode("utf-8", "replace").splitlines()
    except OSError:
        return []
    lines = []
    for text in texts:
        try:
            lines.append(json.loads(text))
        except ValueError:
            pass
    return lines


def revision_diff(lines, serials, file):
    rows = [line for line in lines if line.get("serial") in serials]
    return {
        "before_header": "revisions on the instruments",
        "after_header": "revision of %s" % file,
        "before": "".join("%s: %s\n" % (r["serial"], r.get("revisions", "")) for r in rows),
        "after": "".join("%s: %s\n" % (r["serial"], r.get("imageRev", "")) for r in rows),
    }


def failure_message(rc, ends, last_steps, err):
    failed = [end for end in ends if end["code"]]
    first = next((end for end in failed if end["code"] == rc), failed[0] if failed else None)
    named = None
    if first:
        named = "%s: error %d" % (first["serial"], first["code"])
        if first["message"]:
            named += ": " + first["message"]
        elif last_steps.get(first["serial"]):
            # Several error numbers have no message of their own; the step they ended in tells.
            named += " at '%s'" % last_steps[first["serial"]]
    if named and rc not in STOPPED and rc != REPORT_NOT_WRITTEN:
        return named
    return "; ".join(text for text in (status_message(rc, err), named) if text)


def main():
    options = common_options()
    options.update(
        file=dict(type="path", required=True),
        serials=dict(type="list", elements="str"),
        all=dict(type="bool", default=False),
        report=dict(type="path"),
    )
    module = AnsibleModule(
        argument_spec=options, mutually_exclusive=[("serials", "all")], supports_check_mode=True
    )
    params = module.params
    args = ["update", params["file"], "--yes"]
    for serial in params["serials"] or []:
        args += ["--serial", serial]
    if params["all"]:
        args.append("--all")
    if module.check_mode:
        args.append("--dry-run")
    # The report tells each instrument's revisions before and the file's: the diff's source.
    report = params["report"] if not module.check_mode else None
    if module._diff and not report:
        report = os.path.join(module.tmpdir, "report.jsonl")
    offset = os.path.getsize(report) if report and os.path.exists(report) else 0
    if report:
        args += ["--report", report]

    rc, lines, err = run_fwtool(module, args)
    ends = [dict((key, line.get(key)) for key in END_KEYS)
            for line in lines if line.get("event") == "end"]
    logs = [(line.get("serial"), str(line.get("text", "")).strip())
            for line in lines if line.get("event") == "log"]
    # Changed: an instrument that completed (in check mode: would go ahead), or one that
    # failed after a section had reached its flash.
    touched = set(end["serial"] for end in ends if end["code"] == 0)
    if not module.check_mode:
        touched.update(serial for serial, text in logs if text == SECTION_WRITTEN)

    result = dict(changed=bool(touched), rc=rc, instruments=ends)
    if err.strip():
        result["stderr"] = err
    if module._diff and report:
        result["diff"] = revision_diff(report_lines(report, offset), touched, params["file"])
    if rc != 0:
        module.fail_json(msg=failure_message(rc, ends, dict(logs), err), **result)
    serials = ", ".join(end["serial"] for end in ends)
    verb = "the update would go ahead on " if module.check_mode else "updated "
    module.exit_json(msg=verb + serials, **result)


if __name__ == "__main__":
    main()
