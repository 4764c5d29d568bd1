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
  two-environments   as two-processes, the first with XDG_RUNTIME_DIR, the second without
  two-users          as two-processes, the first as root with umask 077, the second as
                     nobody (root only: else skipped with 77)
  planted            a FIFO, a symbolic link and a folder at the lock's path: update refuses
                     within a second naming the path (119), list shows busy, nothing is sent
  unread-stdout      nobody reads stdout: the update completes, fwtool exits within seconds
                     of SIGTERM and the report holds the whole line
  torn-report        an append cut short by the file-size limit leaves no fragment: the
                     next run's line parses
  control-serial     a serial with control bytes: nothing below 0x20 but the line end on
                     stdout or stderr
  all-twins          --all with one serial on two resources: 122, nothing sent

Every run has a serial of its own: fwtool's instrument locks are the machine's.
"""
import json
import os
import random
import resource
import shutil
import signal
import stat
import subprocess
import sys
import tempfile
import time

FWTOOL, SIMLIB, BASE = (os.path.abspath(a) for a in sys.argv[1:4])
CASE = sys.argv[4]
DIR = os.path.join(BASE, "unattended_" + CASE)
SERIAL = "TW%08d" % (os.getpid() % 100000000)
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


def scenario(name, mode="writer", faults=(), resources=(RESOURCE,), flash="flash.bin"):
    with open(name, "w") as f:
        json.dump({"instruments": [{"resource": r, "revision": REVISION, "mode": mode,
                                    "flashFile": flash} for r in resources],
                   "timingChecks": True, "faults": list(faults)}, f)
    return os.path.abspath(name)


def environment(scenario_file, record):
    env = dict(os.environ, FWSIM_SCENARIO=scenario_file)
    if record:
        env["FWSIM_RECORD"] = os.path.abspath(record)
    for name in ("FWTOOL_VISA", "XDG_RUNTIME_DIR"):  # as cron, sudo and become have it
        env.pop(name, None)
    return env


def fwtool(args, scenario_file, record, env=None, exe=None, lib=None, **popen):
    return subprocess.Popen([exe or FWTOOL] + args + ["--visa", lib or SIMLIB],
                            env=dict(environment(scenario_file, record), **(env or {})), **popen)


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
    if code != 119 or SERIAL + " is being updated by another fwtool" not in err:
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



def lock_path(serial=SERIAL):
    folder = "/run/fwtool" if os.path.isdir("/run/fwtool") else "/run/lock"
    return os.path.join(folder, "fwtool-%s.lock" % serial)


def remove_lock(serial=SERIAL):
    serial = "".join(c if c.isascii() and (c.isalnum() or c in "-_.") else "_"
                     for c in serial.upper())
    path = lock_path(serial)
    if os.path.isdir(path) and not os.path.islink(path):
        os.rmdir(path)
    elif os.path.lexists(path):
        os.remove(path)


def touched(record):
    return [c for c in records(record) if c.get("op") in ("viOpen", "viWrite", "viRead")]


def second_refused(second, record):
    """`second` ended with 119 within seconds, naming the instrument, and sent nothing."""
    code, _, err = finish(second, 10)
    if code != 119 or SERIAL not in err:
        fail("second process: exit status %d, stderr %s" % (code, err))
    if touched(record):
        fail("%s reached the instrument: %s" % (record, touched(record)[:3]))


def held_by_first(second, first_env=None, **first_popen):
    """A first fwtool updates the instrument; `second()` runs meanwhile; then it is ended."""
    first = update(scenario("scenario.json"), "first.rec", "--json", stdout=subprocess.PIPE,
                   stderr=subprocess.PIPE, text=True, env=first_env, **first_popen)
    wait_for_event(first, lambda e: e["event"] == "log")
    try:
        second()
    finally:
        first.send_signal(signal.SIGTERM)
        finish(first)


def two_environments():
    held_by_first(lambda: second_refused(
        update(scenario("scenario.json"), "second.rec", stdout=subprocess.PIPE,
               stderr=subprocess.PIPE, text=True), "second.rec"),
        first_env={"XDG_RUNTIME_DIR": DIR})


def two_users():
    if os.geteuid() != 0:
        sys.exit(77)
    # What the other user runs, where it may read it and write beside it.
    shared = tempfile.mkdtemp(prefix="fwtool-users-")
    try:
        os.chmod(shared, 0o1777)
        for source in (FWTOOL, SIMLIB, "long.fw"):
            shutil.copy(source, shared)
            os.chmod(os.path.join(shared, os.path.basename(source)), 0o755)
        os.chdir(shared)
        second_scenario = scenario("scenario.json", flash="other-flash.bin")
        os.chmod(second_scenario, 0o644)
        os.chdir(DIR)

        def as_nobody():
            second = subprocess.Popen(
                ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", "--",
                 os.path.join(shared, os.path.basename(FWTOOL)), "update", "long.fw", "--yes",
                 "--visa", os.path.join(shared, os.path.basename(SIMLIB))],
                cwd=shared, env=environment(second_scenario, os.path.join(shared, "second.rec")),
                stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
            second_refused(second, os.path.join(shared, "second.rec"))

        held_by_first(as_nobody, preexec_fn=lambda: os.umask(0o077))
    finally:
        shutil.rmtree(shared)


def planted():
    path = lock_path()
    plants = [("fifo", lambda: os.mkfifo(path)), ("folder", lambda: os.mkdir(path)),
              ("link", lambda: os.symlink(os.path.join(DIR, "victim"), path))]
    for name, plant in plants:
        remove_lock()
        plant()
        began = time.monotonic()
        process = update(scenario("scenario.json"), name + ".rec", stdout=subprocess.PIPE,
                         stderr=subprocess.PIPE, text=True)
        code, _, err = finish(process, 10)
        if code != 119 or path not in err or time.monotonic() - began > 5:
            fail("%s: exit status %d after %.1f s, stderr %s"
                 % (name, code, time.monotonic() - began, err))
        lister = fwtool(["list"], scenario("scenario.json"), name + "-list.rec",
                        stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        listed, out, _ = finish(lister, 10)
        if listed != 0 or out.split()[2:3] != ["busy"]:
            fail("%s: list: exit status %d, %r" % (name, listed, out))
        for record in (name + ".rec", name + "-list.rec"):
            if touched(record):
                fail("%s reached the instrument: %s" % (record, touched(record)[:3]))
        if os.path.exists(os.path.join(DIR, "victim")):
            fail("the link's target was made")


def unread_stdout():
    reader, writer = os.pipe()
    os.set_blocking(writer, False)
    try:
        while True:  # the pipe full before fwtool writes a byte
            os.write(writer, b"x" * 4096)
    except BlockingIOError:
        pass
    os.set_blocking(writer, True)
    process = update(scenario("scenario.json"), "run.rec", stdout=writer,
                     stderr=subprocess.DEVNULL)
    os.close(writer)
    deadline = time.monotonic() + 60
    while not (os.path.exists("report.jsonl") and report_lines()):
        if time.monotonic() > deadline:
            process.kill()
            fail("no report line within 60 s")
        time.sleep(0.2)
    process.send_signal(signal.SIGTERM)
    try:
        process.wait(timeout=10)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()
        fail("fwtool did not exit within 10 s of SIGTERM with nobody reading stdout")
    finally:
        os.close(reader)
    if [(r["serial"], r["code"]) for r in report_lines()] != [(SERIAL, 0)]:
        fail("report: %s" % report_lines())


def torn_report():
    line = json.dumps({"serial": "TW99999999", "code": 0, "message": "x" * 200}) + "\n"
    with open("report.jsonl", "w") as f:
        f.write(line * 20)
    size = os.path.getsize("report.jsonl")
    limit = lambda: resource.setrlimit(resource.RLIMIT_FSIZE, (size + 100, size + 100))
    run = lambda **limited: update(scenario("scenario.json", flash=""), None, "--dry-run",
                                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True,
                                   **limited)
    cut, _, err = finish(run(preexec_fn=limit))
    if cut != 118 or os.path.getsize("report.jsonl") != size:
        fail("cut short: exit status %d, %d bytes, not %d; stderr %s"
             % (cut, os.path.getsize("report.jsonl"), size, err))
    good, _, err = finish(run())
    try:
        serials = [r["serial"] for r in report_lines()]
    except ValueError:
        fail("a line of the report does not parse: %r" % open("report.jsonl").read()[size - 50:])
    if good != 0 or serials[20:] != [SERIAL]:
        fail("good run: exit status %d, report %s; stderr %s" % (good, serials[20:], err))


def control_serial():
    odd = "TW\x1b[2J\x07\t%04d" % (os.getpid() % 10000)
    resources = [RESOURCE, "USB0::0x0D3F::0x1141::%s::INSTR" % odd]
    shown = b""
    for args in (["list"], ["update", "long.fw", "--yes"],
                 ["update", "long.fw", "--yes", "--all", "--dry-run"]):
        process = fwtool(args, scenario("scenario.json", resources=resources, flash=""), None,
                         stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        out, err = process.communicate(timeout=60)
        shown += out + err
    remove_lock(odd)
    raw = sorted(set(chr(b) for b in shown if b < 0x20 and b != 0x0A))
    if raw or b"\\x1B[2J" not in shown:
        fail("shown raw: %r in %r" % (raw, shown))


def all_twins():
    resources = ["USB%d::0x0D3F::0x1141::%s::INSTR" % (n, SERIAL) for n in (0, 1)]
    process = fwtool(["update", "long.fw", "--yes", "--all"],
                     scenario("scenario.json", resources=resources, flash=""), "run.rec",
                     stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    code, _, err = finish(process)
    if code != 122 or resources[1] not in err:
        fail("exit status %d, stderr %s" % (code, err))
    if touched("run.rec"):
        fail("the instrument was reached: %s" % touched("run.rec")[:3])


CASES = {"two-environments": two_environments, "two-users": two_users, "planted": planted,
         "unread-stdout": unread_stdout, "torn-report": torn_report,
         "control-serial": control_serial, "all-twins": all_twins}


os.makedirs(DIR, exist_ok=True)
os.chdir(DIR)
for stale in ("report.jsonl", "flash.bin"):
    if os.path.exists(stale):
        os.remove(stale)
make_firmware()
CASES = dict(CASES, **{
    "sigterm": lambda: stopped_mid_section([signal.SIGTERM], 143, 0),
    "sighup": lambda: stopped_mid_section([signal.SIGHUP], 129, 0),
    "second-sigint": lambda: stopped_mid_section([signal.SIGINT] * 3, 130, 1),
    "closed-stdout": closed_stdout, "full-report": full_report, "two-processes": two_processes,
    "slow-reopen": slow_reopen})
if CASE not in CASES:
    fail("unknown case")
try:
    CASES[CASE]()
finally:
    remove_lock()
