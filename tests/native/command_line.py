#!/usr/bin/env python3
"""command_line.py FWTOOL SIMLIB DIR CASE: fwtool as a script or a new user meets it, each a
real fwtool process against the simulated instrument library (DIR holds sample.fw and its
payloads). CASE is one of:

  results      the JSON lines carry the results: every key of each event and of the report
               line; a second run finds the instrument current (19, "current": true), which
               --ok-if-current turns into exit status 0; a dry run predicts it
  cannot-open  a folder given as a file is "cannot open" with the system's reason (125), for
               check, update and pack alike
"""
import json
import os
import shutil
import subprocess
import sys

FWTOOL, SIMLIB, SAMPLES = (os.path.abspath(a) for a in sys.argv[1:4])
CASE = sys.argv[4]
DIR = os.path.join(SAMPLES, "command_line_" + CASE)
SAMPLE = os.path.join(SAMPLES, "sample.fw")
REGIONS = ["Writer Program", "FPGA Code 1", "FPGA Code 2", "Main Program", "http Program",
           "Oem Code"]
KEYS = {
    "log": {"event", "serial", "text"},
    "progress": {"event", "serial", "section", "sections", "percent"},
    "section": {"event", "serial", "index", "count", "region"},
    "end": {"event", "serial", "resource", "code", "message", "seconds", "revisions",
            "imageRev", "sectionsWritten", "current"},
    "report": {"time", "serial", "resource", "file", "imageRev", "revisions", "code",
               "message", "seconds", "dryRun", "sectionsWritten", "current"},
}


def fail(message):
    sys.exit("%s: %s" % (CASE, message))


def resource(serial):
    return "USB0::0x0D3F::0x1141::%s::INSTR" % serial


def attach(*serials, revision="0105AA0BB01CCCC01D0105"):
    with open("scenario.json", "w") as f:
        json.dump({"instruments": [{"resource": resource(s), "revision": revision,
                                    "flashFile": s + ".bin"} for s in serials]}, f)


def fwtool(*args, status=0):
    env = dict(os.environ, FWSIM_SCENARIO=os.path.abspath("scenario.json"), XDG_RUNTIME_DIR=DIR,
               COLUMNS="", FWSIM_RECORD=os.path.abspath("calls.rec"))
    env.pop("FWTOOL_VISA", None)
    done = subprocess.run([FWTOOL] + list(args), env=env, capture_output=True, text=True,
                          timeout=120)
    if done.returncode != status:
        fail("fwtool %s: exit status %d, not %d; stderr: %s"
             % (" ".join(args), done.returncode, status, done.stderr))
    return done


def json_update(*extra, status=0):
    out = fwtool("update", SAMPLE, "--yes", "--json", "--report", "report.jsonl", "--visa",
                 SIMLIB, *extra, status=status).stdout
    return [json.loads(line) for line in out.splitlines()]


def has_keys(kind, line):
    if set(line) != KEYS[kind]:
        fail("%s keys %s, not %s" % (kind, sorted(line), sorted(KEYS[kind])))


def results():
    attach("TW00012345")
    events = json_update()
    for event in events:
        has_keys(event["event"], event)
    sections = [e for e in events if e["event"] == "section"]
    if [(e["index"], e["count"], e["region"]) for e in sections] != \
            [(i + 1, 6, region) for i, region in enumerate(REGIONS)]:
        fail("section events: %s" % sections)
    end = events[-1]
    if (end["code"], end["sectionsWritten"], end["current"], end["imageRev"],
            end["revisions"]) != (0, 6, False, "2.0.1", "0105AA0BB01CCCC01D0105"):
        fail("first end: %s" % end)

    # The same update again: the writer finds its flash holds the data.
    again = json_update(status=19)
    if [e for e in again if e["event"] == "section"] or \
            (again[-1]["code"], again[-1]["sectionsWritten"], again[-1]["current"]) != (19, 0, True):
        fail("second run: %s" % again[-2:])
    json_update("--ok-if-current")
    dry = json_update("--dry-run")
    if (dry[-1]["code"], dry[-1]["current"]) != (0, True):
        fail("dry run of a current instrument: %s" % dry[-1])

    with open("report.jsonl") as f:
        lines = [json.loads(line) for line in f]
    for line in lines:
        has_keys("report", line)
    if [(r["code"], r["sectionsWritten"], r["current"]) for r in lines] != \
            [(0, 6, False), (19, 0, True), (19, 0, True), (0, 0, True)]:
        fail("report: %s" % lines)


def cannot_open():
    os.mkdir("folder.fw")
    checked = fwtool("check", "folder.fw", status=125)
    updated = fwtool("update", "folder.fw", "--yes", "--visa", SIMLIB, status=125)
    packed = fwtool("pack", "--model", "K4417F", "--image-rev", "1", "--utility-rev", "1.0.6",
                    "--description", "d", "--section", "main-program=folder.fw", "-o", "x.fw",
                    status=125)
    for done in (checked, updated, packed):
        if "Is a directory" not in done.stderr:
            fail("no reason given: %s" % done.stderr)
    if "cannot open" not in checked.stderr + updated.stderr:
        fail("stderr: %s %s" % (checked.stderr, updated.stderr))


CASES = {"results": results, "cannot-open": cannot_open}

shutil.rmtree(DIR, ignore_errors=True)
os.makedirs(DIR)
os.chdir(DIR)
CASES[CASE]()
