#!/usr/bin/env python3
"""unattended_runs.py FWTOOL SIMLIB DIR CASE: fwtool update as an unattended job meets it, a
real fwtool process against the simulated instrument library. CASE is one of:

  sigterm, sighup    the job is ended in the middle of a section: that section finishes,
                     nothing is sent after it, the run ends with 1, the exit status is
                     128 + the signal and the report keeps the run's line
  second-sigint      a second Ctrl+C is acknowledged once and cuts nothing short
  closed-stdout      the reader of stdout goes away after one line (| head -n 1): the update
                     completes, the report and the flash hold it
  full-report        the report cannot be written (/dev/full): the update completes, exit 118
  two-processes      a second fwtool on the same instrument sends it nothing (119), list
                     shows it busy
  slow-reopen        every reopen after the switch takes its 1000 ms open timeout and fails:
                     the retry gives up 20 s after it began, by the clock
"""
import json
import os
import random
import signal
import subprocess
import sys
import time

FWTOOL, SIMLIB, BASE = (os.path.abspath(a) for a in sys.argv[1:4])
CASE = sys.argv[4]
DIR = os.path.join(BASE, "unattended_" + CASE)
SERIAL = "TW00012345"
RESOURCE = "USB0::0x0D3F::0x1141::%s::INSTR" % SERIAL
REVISION = "0105AA0BB01CCCC01D0105"
SECTOR = 0x10000


def fail(message):
    sys.exit("%s: %s" % (CASE, message))


def payload(size, seed):
    return random.Random(seed).randbytes(size)


# Payloads by region; the writer program spans two flash sectors, so that its transfer
# (one 1024-byte block every 25 ms) lasts about three seconds, with a progress event
# half-way through.
PAYLOADS = [("writer-program", "writer.bin", 2 * SECTOR - 4096, 1, "0201"),
            ("fpga-code-1", "fpga1.bin", 200, 2, "01"),
            ("fpga-code-2", "fpga2.bin", 100, 3, "01"),
            ("main-program", "main.bin", 4000, 4, "0201"),
            ("http-program", "http.bin", 500, 5, "0201"),
            ("oem-code", "oem.bin", 64, 6, "00")]


def make_firmware():
    args = [FWTOOL, "pack", "--model", "K4417F", "--image-rev", "2.0.1", "--utility-rev",
            "1.0.6", "--description", "Long first section", "--revs-not-support", "1.0.0"]
    for region, name, size, seed, rev in PAYLOADS:
        with open(name, "wb") as f:
            f.write(payload(size, seed))
        args += ["--section", "%s=%s:%s" % (region, name, rev)]
    subprocess.run(args + ["-o", "long.fw"], check=True, stdout=subprocess.DEVNULL)


def scenario(name, mode="writer", faults=()):
    with open(name, "w") as f:
        json.dump({"instruments": [{"resource": RESOURCE, "revision": REVISION, "mode": mode,
                                    "flashFile": "flash.bin"}],
                   "timingChecks": True, "faults": list(faults)}, f)
    return os.path.abspath(name)


def environment(scenario_file, record):
    env = dict(os.environ, FWSIM_SCENARIO=scenario_file, FWSIM_RECORD=os.path.abspath(record),
               XDG_RUNTIME_DIR=DIR)
    env.pop("FWTOOL_VISA", None)
    return env


def fwtool(args, scenario_file, record, **popen):
    return subprocess.Popen([FWTOOL] + args + ["--visa", SIMLIB],
                            env=environment(scenario_file, record), **popen)


def update(scenario_file, record, *extra, **popen):
    return fwtool(["update", "long.fw", "--yes", "--report", "report.jsonl"] + list(extra),
                  scenario_file, record, **popen)


def wait_for_event(process, wanted, seconds=30):
    """Reads JSON lines from `process` until `wanted(event)`; returns every line read."""
    deadline = time.monotonic() + seconds
    lines = []
    while time.monotonic() < deadline:
        line = process.stdout.readline()
        if not line:
            fail("the output ended before the awaited event: %s" % lines)
        lines.append(line)
        if wanted(json.loads(line)):
            return lines
    fail("no awaited event within %d s: %s" % (seconds, lines))


def mid_first_section(event):
    return event["event"] == "progress" and event["section"] == 1 and event["percent"] > 0


def finish(process, seconds=60):
    try:
        out, err = process.communicate(timeout=seconds)
    except subprocess.TimeoutExpired:
        process.kill()
        fail("fwtool did not end within %d s" % seconds)
    return process.returncode, out or "", err or ""


def records(path):
    with open(path) as f:
        return [json.loads(line) for line in f if line.strip()]


def reset_frames(calls):
    return [c for c in calls if c.get("op") == "viWrite" and c.get("count") == 12
            and c.get("hex", "")[:2] == "ab" and c["hex"][10:12] == "0a"]


def report_lines():
    with open("report.jsonl") as f:
        return [json.loads(line) for line in f]


def flash():
    with open("flash.bin", "rb") as f:
        return f.read()


def flash_holds(name):
    with open(name, "rb") as f:
        return f.read() in flash()


def check_no_violations(calls):
    violations = [c["violation"] for c in calls if "violation" in c]
    if violations:
        fail("the instrument saw: %s" % violations)


def stopped_mid_section(signals, status, acknowledged):
    process = update(scenario("scenario.json"), "run.rec", "--json", stdout=subprocess.PIPE,
                     stderr=subprocess.PIPE, text=True)
    lines = wait_for_event(process, mid_first_section)
    for number in signals:
        process.send_signal(number)
        time.sleep(0.2)
    code, out, err = finish(process)
    events = [json.loads(line) for line in lines + out.splitlines()]
    if code != status:
        fail("exit status %d, not %d; stderr: %s" % (code, status, err))
    ends = [e for e in events if e["event"] == "end"]
    if [e["code"] for e in ends] != [1]:
        fail("end events: %s" % ends)
    if err.count("finishing the section being written") != acknowledged:
        fail("stderr: %r" % err)
    calls = records("run.rec")
    check_no_violations(calls)
    if len(reset_frames(calls)) != 1:
        fail("%d sections begun, not 1" % len(reset_frames(calls)))
    if not flash_holds("writer.bin") or flash_holds("fpga1.bin"):
        fail("the first section is not whole in the flash, or more was written")
    opened = sum(1 for c in calls if c.get("op") == "viOpen" and c["status"] == 0)
    closed = sum(1 for c in calls if c.get("op") == "viClose" and c.get("resource") == RESOURCE)
    if closed < opened:
        fail("a session was left open")
    if [(r["serial"], r["code"]) for r in report_lines()] != [(SERIAL, 1)]:
        fail("report: %s" % report_lines())


def closed_stdout():
    process = update(scenario("scenario.json"), "run.rec", stdout=subprocess.PIPE,
                     stderr=subprocess.PIPE, text=True)
    first = process.stdout.readline()
    process.stdout.close()  # as `| head -n 1` does
    code, _, err = finish(process)
    if first != SERIAL + ": Connect ... OK\n" or code != 0:
        fail("first line %r, exit status %d, stderr %s" % (first, code, err))
    if [(r["serial"], r["code"]) for r in report_lines()] != [(SERIAL, 0)]:
        fail("report: %s" % report_lines())
    for _, name, _, _, _ in PAYLOADS:
        if not flash_holds(name):
            fail("the flash lacks %s" % name)


def full_report():
    process = fwtool(["update", "long.fw", "--yes", "--json", "--report", "/dev/full"],
                     scenario("scenario.json"), "run.rec", stdout=subprocess.PIPE,
                     stderr=subprocess.PIPE, text=True)
    code, out, err = finish(process)
    events = [json.loads(line) for line in out.splitlines()]
    if code != 118:
        fail("exit status %d, not 118; stderr: %s" % (code, err))
    if [e["code"] for e in events if e["event"] == "end"] != [0]:
        fail("the update did not complete: %s" % events[-3:])
    if not any(e["event"] == "error" for e in events) or "/dev/full" not in err:
        fail("the lost report line was not said: %s / %s" % (events[-3:], err))
    for _, name, _, _, _ in PAYLOADS:
        if not flash_holds(name):
            fail("the flash lacks %s" % name)


def two_processes():
    first = update(scenario("scenario.json"), "first.rec", "--json", stdout=subprocess.PIPE,
                   stderr=subprocess.PIPE, text=True)
    wait_for_event(first, lambda e: e["event"] == "log")
    second = update(scenario("scenario.json"), "second.rec", stdout=subprocess.PIPE,
                    stderr=subprocess.PIPE, text=True)
    code, _, err = finish(second)
    lister = fwtool(["list"], scenario("scenario.json"), "list.rec", stdout=subprocess.PIPE,
                    stderr=subprocess.PIPE, text=True)
    listed, list_out, _ = finish(lister)
    first.send_signal(signal.SIGTERM)
    finish(first)
    if code != 119 or "TW00012345 is being updated by another fwtool" not in err:
        fail("second process: exit status %d, stderr %s" % (code, err))
    for record in ("second.rec", "list.rec"):
        touched = [c for c in records(record) if c.get("op") in ("viOpen", "viWrite", "viRead")]
        if touched:
            fail("%s reached the instrument: %s" % (record, touched[:3]))
    if listed != 0 or list_out.split()[2:3] != ["busy"]:
        fail("list: exit status %d, %r" % (listed, list_out))
    if [(r["serial"], r["code"]) for r in report_lines()] != [("", 119), (SERIAL, 1)]:
        fail("report: %s" % report_lines())


def slow_reopen():
    # Every open after the first waits out its timeout and fails.
    faults = [{"op": "viOpen", "nth": n, "action": "timeout"} for n in range(2, 60)]
    process = update(scenario("scenario.json", mode="normal", faults=faults), "run.rec",
                     "--json", stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    code, out, err = finish(process, 50)
    if code != 3:
        fail("exit status %d, not 3; stderr %s" % (code, err))
    calls = [c for c in records("run.rec") if "op" in c]
    switch = [c for c in calls if c["op"] == "viWrite"][-1]
    opens = [c for c in calls if c["op"] == "viOpen"]
    if any(c["arg"] != 1000 for c in opens):
        fail("open timeouts: %s" % [c["arg"] for c in opens])
    gave_up = (opens[-1]["t"] + 1000 - switch["t"]) / 1000.0
    if not 22.5 <= gave_up <= 25.0:
        fail("gave up %.1f s after the switch (%d opens), not about 23.5 s" % (gave_up, len(opens)))


os.makedirs(DIR, exist_ok=True)
os.chdir(DIR)
for stale in ("report.jsonl", "flash.bin"):
    if os.path.exists(stale):
        os.remove(stale)
make_firmware()
if CASE == "sigterm":
    stopped_mid_section([signal.SIGTERM], 143, 0)
elif CASE == "sighup":
    stopped_mid_section([signal.SIGHUP], 129, 0)
elif CASE == "second-sigint":
    stopped_mid_section([signal.SIGINT, signal.SIGINT, signal.SIGINT], 130, 1)
elif CASE == "closed-stdout":
    closed_stdout()
elif CASE == "full-report":
    full_report()
elif CASE == "two-processes":
    two_processes()
elif CASE == "slow-reopen":
    slow_reopen()
else:
    fail("unknown case")
