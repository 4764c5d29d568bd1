#!/usr/bin/env python3
"""command_line.py FWTOOL SIMLIB DIR CASE: fwtool as a script or a new user meets it, each a
real fwtool process against the simulated instrument library (DIR holds sample.fw and its
payloads). CASE is one of:

  results      the JSON lines carry the results: every key of each event and of the report
               line; a second run finds the instrument current (19, "current": true), which
               --ok-if-current turns into exit status 0; a dry run predicts it
  cannot-open  a folder given as a file is "cannot open" with the system's reason (125), for
               check, update and pack alike
  serial-usage an empty or malformed --serial is a usage error (125), for list and update
  list-serial  list --serial (repeatable, comma-separated) lists those instruments; one not
               on the bus is named and ends with 121
  one-shape    the text output of one instrument has the shape of several: every line
               prefixed with its serial, a summary last
  help-width   every help fits 80 columns through a pipe, and a 50-column terminal's width
"""
import fcntl
import json
import os
import pty
import struct
import termios
import shutil
import subprocess
import sys

FWTOOL, SIMLIB, SAMPLES = (os.path.abspath(a) for a in sys.argv[1:4])
CASE = sys.argv[4]
DIR = os.path.join(SAMPLES, "command_line_" + CASE)
SAMPLE = os.path.join(SAMPLES, "sample.fw")
# Serials of this run's own: instrument locks are the machine's, and other tests update
# instruments at the same time.
BASE = "TW%07d" % (os.getpid() % 10000000)
S1, S2, S3, ABSENT = BASE + "1", BASE + "2", BASE + "3", BASE + "9"
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
    env = dict(os.environ, FWSIM_SCENARIO=os.path.abspath("scenario.json"), COLUMNS="",
               FWSIM_RECORD=os.path.abspath("calls.rec"))
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
    attach(S1)
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


def serial_usage():
    attach(S1)
    for args in (["update", SAMPLE, "--yes", "--serial", ""], ["update", SAMPLE, "--yes",
                 "--serial", "TW 1"], ["update", SAMPLE, "--yes", "--serial", "USB0::1"],
                 ["list", "--serial", ""], ["list", "--serial", ","], ["list", "--serial", "A,,B"]):
        done = fwtool(*args, "--visa", SIMLIB, status=125)
        if "--serial" not in done.stderr:
            fail("%s: stderr %s" % (args, done.stderr))
    if os.path.exists("calls.rec"):
        fail("an instrument was opened")


def list_serial():
    attach(S1, S2, S3)
    one = fwtool("list", "--serial", S2.lower(), "--visa", SIMLIB).stdout.splitlines()
    if len(one) != 1 or not one[0].startswith("%s  %s  normal" % (resource(S2), S2)):
        fail("list --serial %s: %s" % (S2.lower(), one))
    two = fwtool("list", "--json", "--serial", S3, "--serial", S1, "--visa",
                 SIMLIB).stdout.splitlines()
    if [json.loads(line)["serial"] for line in two] != [S1, S3]:
        fail("two serials: %s" % two)
    missing = fwtool("list", "--serial", S1 + "," + ABSENT, "--visa", SIMLIB, status=121)
    if len(missing.stdout.splitlines()) != 1 or ABSENT not in missing.stderr:
        fail("one not on the bus: %s / %s" % (missing.stdout, missing.stderr))


def one_shape():
    attach(S1)
    lines = fwtool("update", SAMPLE, "--yes", "--visa", SIMLIB).stdout.splitlines()
    if len(lines) < 4 or any(not line.startswith(S1 + ": ") for line in lines[:-2]):
        fail("lines not prefixed: %s" % lines)
    if not lines[-2].startswith("serial ") or not lines[-1].startswith(S1 + "   0 "):
        fail("no summary: %s" % lines[-2:])


def help_width():
    commands = [[], ["check"], ["pack"], ["list"], ["update"]]
    for command in commands:
        lines = fwtool(*command, "--help").stdout.splitlines()
        if max(len(line) for line in lines) > 80:
            fail("fwtool %s --help through a pipe: %s" % (command, max(lines, key=len)))
    # On a terminal 50 columns wide.
    for command in commands:
        main, side = pty.openpty()
        fcntl.ioctl(side, termios.TIOCSWINSZ, struct.pack("HHHH", 24, 50, 0, 0))
        process = subprocess.Popen([FWTOOL] + command + ["--help"], stdout=side)
        os.close(side)
        text = b""
        while True:
            try:
                chunk = os.read(main, 65536)
            except OSError:  # the terminal's other end has closed
                break
            if not chunk:
                break
            text += chunk
        os.close(main)
        process.wait(timeout=30)
        lines = text.decode().replace("\r", "").splitlines()
        if max(len(line) for line in lines) > 50 or "device selection" not in text.decode() \
                and command in (["list"], ["update"]):
            fail("fwtool %s --help on 50 columns: %s" % (command, max(lines, key=len)))


CASES = {"results": results, "cannot-open": cannot_open, "serial-usage": serial_usage,
         "list-serial": list_serial, "one-shape": one_shape, "help-width": help_width}

shutil.rmtree(DIR, ignore_errors=True)
os.makedirs(DIR)
os.chdir(DIR)
CASES[CASE]()
