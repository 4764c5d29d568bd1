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
  - An instrument that already holds the file's data (its writer answers "DATA IS THE LATEST
    UPDATE", error 19) is not a failure and not a change; its result has C(current=true).
    Running the same task again therefore gives C(ok).
  - C(changed) comes from the sections fwtool reports written into an instrument's flash.
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
    details:
      - Runs C(fwtool update --dry-run), which connects, identifies and compares
        revisions, sending nothing but C(*IDN?).
      - C(changed) predicts whether the update would write anything. An instrument whose
        identification shows the file's revision for every region it reports (each region's
        one, two or four characters of the revision field begin the file's revision of that
        section) is predicted C(ok); any other is predicted C(changed), as is a region the
        revision field is too short for.
      - Only a prediction; the instrument has the last word. Its writer compares the data
        with its flash, and a real run may still find it current, or not.
  diff_mode:
    support: full
    details: Per instrument that was (in check mode, would be) written, the revision field it
      reported before the run and the file's revision, from fwtool's JSON end events.
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
    revisions:
      description: The revision field of the instrument's identification before the run.
      type: str
      sample: 0105AA0BB01CCCC01D0105
    imageRev:
      description: The file's revision.
      type: str
      sample: 2.10.0
    sectionsWritten:
      description: How many sections reached the instrument's flash.
      type: int
      sample: 6
    current:
      description: The instrument already held this data (error 19, not a failure here);
        in check mode, its identification shows the file's revision for every region.
      type: bool
changed:
  description: True when at least one section reached an instrument's flash (in check mode,
    when at least one instrument is predicted to be written).
  returned: always
  type: bool
current:
  description: True when every instrument that ran already held this data (in check mode,
    showed the file's revisions), so that nothing was (or would be) written.
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

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.k4417f.fwtool.plugins.module_utils.fwtool import (
    STOPPED,
    common_options,
    run_fwtool,
    status_message,
)

END_KEYS = ("serial", "resource", "code", "message", "seconds", "revisions", "imageRev",
            "sectionsWritten", "current")
REPORT_NOT_WRITTEN = 118


def revision_diff(ends, serials, file):
    rows = [end for end in ends if end["serial"] in serials]
    return {
        "before_header": "revisions on the instruments",
        "after_header": "revision of %s" % file,
        "before": "".join("%s: %s\n" % (r["serial"], r["revisions"] or "") for r in rows),
        "after": "".join("%s: %s\n" % (r["serial"], r["imageRev"] or "") for r in rows),
    }


def failure_message(rc, ends, last_steps, err):
    failed = [end for end in ends if end["code"] and not end["current"]]
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
    # An instrument that already holds the data is a success here, and no change.
    args = ["update", params["file"], "--yes", "--ok-if-current"]
    for serial in params["serials"] or []:
        args += ["--serial", serial]
    if params["all"]:
        args.append("--all")
    if module.check_mode:
        args.append("--dry-run")
    elif params["report"]:
        args += ["--report", params["report"]]

    rc, lines, err = run_fwtool(module, args)
    ends = [dict((key, line.get(key)) for key in END_KEYS)
            for line in lines if line.get("event") == "end"]
    for end in ends:
        end["current"] = bool(end["current"])
    logs = [(line.get("serial"), str(line.get("text", "")).strip())
            for line in lines if line.get("event") == "log"]
    if module.check_mode:
        # Predicted from the identification; the instrument itself has the last word.
        touched = set(end["serial"] for end in ends if end["code"] == 0 and not end["current"])
    else:
        # Whatever else happened, an instrument with a section in its flash has changed.
        touched = set(line.get("serial") for line in lines if line.get("event") == "section")

    result = dict(changed=bool(touched), rc=rc, instruments=ends,
                  current=bool(ends) and all(end["current"] for end in ends))
    if err.strip():
        result["stderr"] = err
    if module._diff:
        result["diff"] = revision_diff(ends, touched, params["file"])
    if rc != 0:
        module.fail_json(msg=failure_message(rc, ends, dict(logs), err), **result)
    written = [end["serial"] for end in ends if end["serial"] in touched]
    current = [end["serial"] for end in ends if end["current"]]
    said = []
    if written:
        verb = "the update would go ahead on " if module.check_mode else "updated "
        said.append(verb + ", ".join(written))
    if current:
        said.append("already current: " + ", ".join(current))
    module.exit_json(msg="; ".join(said) or "nothing to update", **result)


if __name__ == "__main__":
    main()
