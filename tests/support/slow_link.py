#!/usr/bin/env python3
"""A slow link between a program and its terminal, as SSH over a slow network
is: the program's output is read at once (it never waits to write) and
reaches the terminal at a limited rate; keys go the other way at once.

Usage:
  slow_link.py relay RATE STATS -- COMMAND...
      runs COMMAND on a pseudo-terminal of this terminal's size and passes
      its output on to this terminal at RATE bytes a second (0: as fast as
      it comes), keys back at once; ends with COMMAND's exit code once the
      last byte is through
  slow_link.py terminal RATE SECONDS STATS -- COMMAND...
      plays the terminal itself (80 x 50): answers device-attributes
      queries when they arrive, sends Escape after SECONDS and waits for
      the program to give the terminal back

  slow_link.py stall SECONDS STATS -- COMMAND...
      a terminal that stops taking output after SECONDS (a stalled link, a
      frozen emulator); then COMMAND gets SIGTERM, and STATS tells how long
      it took to end and whether the terminal's input mode was restored
  slow_link.py hangup SECONDS STATS -- COMMAND...
      COMMAND runs on a pseudo-terminal that is not its controlling terminal
      (as under setsid), which goes away after SECONDS: no hangup signal
      comes; STATS tells how long it took to end

The pseudo-terminal is 80 x 50 but in relay mode. STATS gets one JSON object: bytes delivered and the time it took, how long
the delivered bytes waited in the link (mean, 95th percentile, most), and
in terminal mode the seconds from Escape to the main screen being back.
"""
import fcntl
import json
import os
import pty
import select
import signal
import struct
import subprocess
import sys
import termios
import time
import tty

QUERY = b"\x1b[c"
ANSWER = b"\x1b[?1;2c"
LEAVE = b"\x1b[?1049l"
TICK = 0.01


def spawn(command, columns, rows):
    pid, master = pty.fork()
    if pid == 0:
        os.execvp(command[0], command)
    fcntl.ioctl(master, termios.TIOCSWINSZ, struct.pack("HHHH", rows, columns, 0, 0))
    os.kill(pid, signal.SIGWINCH)
    return pid, master


class Link:
    def __init__(self, rate):
        self.rate = rate
        self.queue = []  # [time read, bytes]
        self.waits = []  # per delivered chunk: (seconds waited, size)
        self.delivered = 0
        self.first = None
        self.last = None
        self.allowance = 0.0
        self.started = time.monotonic()
        self.timeline = {}  # the longest wait of each second

    def take(self, data):
        self.queue.append([time.monotonic(), data])

    def deliver(self, elapsed):
        """What reaches the terminal in `elapsed` seconds."""
        now = time.monotonic()
        if self.rate:
            self.allowance = min(self.allowance + self.rate * elapsed, self.rate * 0.05 + 4096)
        out = b""
        while self.queue and (not self.rate or self.allowance >= 1):
            read_at, data = self.queue[0]
            n = len(data) if not self.rate else min(len(data), int(self.allowance))
            out += data[:n]
            self.waits.append((now - read_at, n))
            second = int(now - self.started)
            self.timeline[second] = max(self.timeline.get(second, 0), round(now - read_at, 2))
            if self.rate:
                self.allowance -= n
            if n == len(data):
                self.queue.pop(0)
            else:
                self.queue[0][1] = data[n:]
        if out:
            self.delivered += len(out)
            self.first = self.first or now
            self.last = now
        return out

    def stats(self):
        waits = sorted(self.waits)
        total = sum(n for _, n in waits) or 1
        mean = sum(w * n for w, n in waits) / total
        p95, seen = 0.0, 0
        for w, n in waits:
            seen += n
            if seen >= 0.95 * total:
                p95 = w
                break
        span = (self.last - self.first) if self.first and self.last and self.last > self.first else 1
        return {"bytes": self.delivered, "seconds": round(span, 2), "bytes_per_second": round(self.delivered / span),
                "wait_mean": round(mean, 3), "wait_p95": round(p95, 3),
                "wait_max": round(waits[-1][0] if waits else 0, 3),
                "longest_wait_each_second": [self.timeline.get(s, 0) for s in range(max(self.timeline, default=0) + 1)]}


def read_some(fd):
    try:
        return os.read(fd, 65536)
    except OSError:
        return b""


def run(mode, rate, seconds, stats_path, command):
    if mode == "relay":
        size = os.get_terminal_size(sys.stdout.fileno())
        columns, rows = size.columns, size.lines
    else:
        columns, rows = 80, 50
    pid, master = spawn(command, columns, rows)
    link = Link(rate)
    started = time.monotonic()
    escape_at = None
    back_at = None
    tail = b""
    leave_tail = b""
    status = None
    saved = None
    if mode == "relay" and os.isatty(0):
        saved = termios.tcgetattr(0)
        tty.setraw(0)
    last = time.monotonic()
    try:
        while True:
            if status is None:
                done, code = os.waitpid(pid, os.WNOHANG)
                if done:
                    status = os.waitstatus_to_exitcode(code)
            if status is not None and not link.queue:
                break
            fds = [master] if status is None else []
            if mode == "relay" and status is None:
                fds.append(0)
            ready, _, _ = select.select(fds, [], [], TICK)
            if master in ready:
                data = read_some(master)
                if data:
                    link.take(data)
            if 0 in ready:
                keys = read_some(0)
                if keys:
                    os.write(master, keys)
            now = time.monotonic()
            out = link.deliver(now - last)
            last = now
            if out:
                if mode == "relay":
                    os.write(1, out)
                else:
                    # The tail is too short to hold a whole query already answered.
                    seen = tail + out
                    for _ in range(seen.count(QUERY)):
                        try:
                            os.write(master, ANSWER)
                        except OSError:
                            pass
                    if escape_at and back_at is None and LEAVE in leave_tail + out:
                        back_at = now
                    tail = seen[-(len(QUERY) - 1):]
                    leave_tail = (leave_tail + out)[-(len(LEAVE) - 1):]
            if mode == "terminal" and escape_at is None and now - started >= seconds:
                escape_at = now
                os.write(master, b"\x1b")
            if mode == "terminal" and escape_at and now - escape_at > 120:
                os.kill(pid, signal.SIGKILL)
    finally:
        if saved:
            termios.tcsetattr(0, termios.TCSANOW, saved)
    result = link.stats()
    result["exit_code"] = status
    if mode == "terminal":
        result["escape_to_back"] = round(back_at - escape_at, 3) if back_at and escape_at else None
    with open(stats_path, "w") as f:
        json.dump(result, f)
    return status or 0


def spawn_detached(command):
    """COMMAND on a new 80 x 50 pseudo-terminal in a session of its own
    that has no controlling terminal."""
    master, slave = os.openpty()
    fcntl.ioctl(master, termios.TIOCSWINSZ, struct.pack("HHHH", 50, 80, 0, 0))
    process = subprocess.Popen(command, stdin=slave, stdout=slave, start_new_session=True)
    os.close(slave)
    return process, master


def wait_end(process, limit):
    started = time.monotonic()
    try:
        process.wait(limit)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()
        return None
    return round(time.monotonic() - started, 3)


def trouble(mode, seconds, stats_path, command):
    process, master = spawn_detached(command)
    started = time.monotonic()
    while time.monotonic() - started < seconds:
        ready, _, _ = select.select([master], [], [], TICK)
        if ready and read_some(master):
            pass
    result = {}
    if mode == "stall":
        time.sleep(1)  # the program fills what the terminal still takes
        process.send_signal(signal.SIGTERM)
        result["seconds_to_end"] = wait_end(process, 20)
        flags = termios.tcgetattr(master)[3]
        result["input_restored"] = bool(flags & termios.ICANON and flags & termios.ECHO)
    else:
        os.close(master)
        result["seconds_to_end"] = wait_end(process, 20)
    result["exit_code"] = process.returncode
    with open(stats_path, "w") as f:
        json.dump(result, f)
    return 0


def main(argv):
    try:
        split = argv.index("--")
    except ValueError:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    args, command = argv[1:split], argv[split + 1:]
    if args and args[0] == "relay" and len(args) == 3:
        return run("relay", int(args[1]), 0, args[2], command)
    if args and args[0] in ("stall", "hangup") and len(args) == 3:
        return trouble(args[0], float(args[1]), args[2], command)
    if args and args[0] == "terminal" and len(args) == 4:
        return run("terminal", int(args[1]), float(args[2]), args[3], command)
    print(__doc__.strip(), file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
