#!/usr/bin/python3
"""Masters through `varnak bridge --share`, on the paced simulator at 9600 baud.

  bench/share_bench.py [SECONDS] [BUILD_DIR]      (default 60 s, build/)

8 masters poll the outputs every 200 ms as the window does (enquiry, poll
header, data reply) while the outputs change at the controller every second.
Prints the polls answered per second per master, the polls on the line per
second (the simulator's count), the time from a change of the outputs at the
controller to its sight by a master and by every master (median, p99), a
write's time through the bridge against the same write on the line directly,
and the bridge's CPU and RSS over the run.
"""
import random
import socket
import statistics
import threading
import time

from bridge_faces import SECONDS, cpu_and_rss, pct, recv_exactly, run

ENQ = bytes.fromhex("4E2105")
POLL = bytes.fromhex("0130313033303130313030303230311701")
WRITE_R1000 = bytes.fromhex("0130313831303230313030303230311708")


class PollingMaster(threading.Thread):
    """A window's poll every 200 ms through the bridge."""

    def __init__(self, port, stop, changes):
        super().__init__()
        self.port, self.stop, self.changes = port, stop, changes
        self.answered = 0
        self.seen = {}  # change number -> time first seen

    def run(self):
        s = socket.create_connection(("127.0.0.1", self.port))
        s.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        next_tick = time.monotonic()
        while not self.stop.is_set():
            try:
                s.sendall(ENQ)
                if recv_exactly(s, 3) != bytes.fromhex("4E2106"):
                    continue
                s.sendall(POLL)
                reply = recv_exactly(s, 6)
                now = time.monotonic()
                self.answered += 1
                if self.changes:
                    n, t0, value = self.changes[-1]
                    if n not in self.seen and reply[2] == value:
                        self.seen[n] = now - t0
            except (socket.timeout, ConnectionError):
                pass
            next_tick += 0.2
            time.sleep(max(0, next_tick - time.monotonic()))
        s.close()


def share_write_ms(port, samples=20):
    times = []
    s = socket.create_connection(("127.0.0.1", port))
    s.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    for i in range(samples):
        value = i & 0xFF
        block = bytes([0x02, value, 0x00, 0x03, value])
        t0 = time.monotonic()
        s.sendall(ENQ)
        recv_exactly(s, 3, 2)
        s.sendall(WRITE_R1000)
        recv_exactly(s, 1, 2)
        s.sendall(block)
        recv_exactly(s, 1, 2)
        times.append((time.monotonic() - t0) * 1000)
        time.sleep(0.1)
    s.close()
    return times


def share_phase(sim, bridge, port):
    stop = threading.Event()
    changes = []  # (number, time, value) of each change of the outputs
    masters = [PollingMaster(port, stop, changes) for _ in range(8)]
    for m in masters:
        m.start()
    time.sleep(1)
    cpu0, _ = cpu_and_rss(bridge.pid)
    polls0 = sim.stats()["polls"]
    t_start = time.monotonic()
    answered0 = [m.answered for m in masters]
    n = 0
    value = 0
    while time.monotonic() - t_start < SECONDS:
        value = (value + random.randint(1, 254)) & 0xFF
        changes.append((n, time.monotonic(), value))
        sim.command(f"set R2000 {value:04X}")
        n += 1
        time.sleep(1)
    elapsed = time.monotonic() - t_start
    polls = sim.stats()["polls"] - polls0
    cpu1, rss = cpu_and_rss(bridge.pid)
    stop.set()
    for m in masters:
        m.join()
    rates = [(m.answered - a0) / elapsed for m, a0 in zip(masters, answered0)]
    latencies = [m.seen[k] * 1000 for k in range(n - 1) for m in masters if k in m.seen]
    all_seen = [max(m.seen.get(k, float("inf")) for m in masters) * 1000 for k in range(n - 1)]
    print(f"share: 8 masters polling every 200 ms for {elapsed:.0f} s")
    print(f"  polls answered per second per master: min {min(rates):.2f}, median {statistics.median(rates):.2f}")
    print(f"  polls on the line per second: {polls / elapsed:.2f}")
    print(f"  a change of the outputs seen by a master: median {pct(latencies, 50):.0f} ms, p99 {pct(latencies, 99):.0f} ms;"
          f" by every master: median {pct(all_seen, 50):.0f} ms, p99 {pct(all_seen, 99):.0f} ms")
    w = share_write_ms(port)
    print(f"  a write through the bridge (enquiry to the block's ACK): median {pct(w, 50):.1f} ms, p99 {pct(w, 99):.1f} ms")
    print(f"  bridge CPU {100 * (cpu1 - cpu0) / elapsed:.2f} %, RSS {rss / 1024:.1f} MiB")



if __name__ == "__main__":
    run("--share", share_phase)
