#!/usr/bin/env python3
"""Times commands in interleaved runs (bench/handover.sh runs it inside its root).

    handover_runs.py OUT.json RUNS WARMUP CLEAN-PATH NAME=ARGV-JSON...

Every run times each command once, in an order that rotates from run to
run, with CLEAN-PATH removed before each command (outside the timing). On a
machine shared with others the load drifts over seconds; neighbouring runs of
the compared commands see nearly the same load, so the ratio within one run
is far steadier than a ratio of two blocks timed one after the other.
A command that fails ends the script with status 1 and its output.
Besides the wall-clock time of each command it records the processor time
(user and system) of the command with every process it waited for: that is
what the programs themselves cost, and it changes much less with the load of
other work than the time they take.
Writes {"names": [...], "runs": [{name: seconds, ...}, ...],
"cpu": [{name: seconds, ...}, ...]} to OUT.json.
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time


def main() -> int:
    out, runs, warmup, clean = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
    commands = []
    for item in sys.argv[5:]:
        name, argv = item.split("=", 1)
        commands.append((name, json.loads(argv)))
    results, cpu = [], []
    output = tempfile.TemporaryFile()
    for i in range(warmup + runs):
        timed, used = {}, {}
        k = i % len(commands)
        for name, argv in commands[k:] + commands[:k]:
            shutil.rmtree(clean, ignore_errors=True)
            output.seek(0)
            output.truncate()
            start = time.perf_counter()
            child = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=output, stderr=subprocess.STDOUT)
            _, status, usage = os.wait4(child.pid, 0)
            timed[name] = time.perf_counter() - start
            child.returncode = os.waitstatus_to_exitcode(status)
            used[name] = usage.ru_utime + usage.ru_stime
            if child.returncode != 0:
                output.seek(0)
                sys.stderr.write(f"handover_runs: {name} ended with {child.returncode}:\n")
                sys.stderr.write(output.read().decode(errors="replace"))
                return 1
        if i >= warmup:
            results.append(timed)
            cpu.append(used)
    shutil.rmtree(clean, ignore_errors=True)
    with open(out, "w") as f:
        json.dump({"names": [n for n, _ in commands], "runs": results, "cpu": cpu}, f)
    return 0


if __name__ == "__main__":
    sys.exit(main())
