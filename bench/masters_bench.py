#!/usr/bin/python3
"""The bridge as the line's one owner, measured: masters through --share and
Modbus clients through --modbus, on the paced simulator at 9600 baud.

  bench/masters_bench.py [SECONDS] [BUILD_DIR]      (default 60 s a phase, build/)

Share phase: 8 masters poll the outputs every 200 ms as the window does
(enquiry, poll header, data reply) while the outputs change at the controller
every second. Prints the polls answered per second per master, the polls on the
line per second (the simulator's count), the time from a change of the outputs
at the controller to its sight by every master (median, p99), a write's time
through the bridge, and the bridge's CPU and RSS over the phase.

Modbus phase: the time of a read of one register that is in the image and of
one that is not (median, p99), a write's time, the line's register reads per
second (so the registers kept fresh at --max-age 2000), and the bridge's CPU
and RSS with ten clients each reading ten registers a second.

Then, the bridge stopped, the same write by the client on the line directly.
"""
import os
import random
import socket
import statistics
import struct
import subprocess
import sys
import threading
import time

SECONDS = int(sys.argv[1]) if len(sys.argv) > 1 else 60
BUILD = sys.argv[2] if len(sys.argv) > 2 else "build"
ENQ = bytes.fromhex("4E2105")
POLL = bytes.fromhex("0130313033303130313030303230311701")
WRITE_R1000 = bytes.fromhex("013031383130323031303030323031170" + "8")
TICK = os.sysconf("SC_CLK_TCK")


def free_port():
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


def pct(values, p):
    if not values:
        return float("nan")
    v = sorted(values)
    return v[min(len(v) - 1, max(0, int(round(p / 100 * len(v) + 0.5)) - 1))]


class Sim:
    def __init__(self):
        self.p = subprocess.Popen([f"{BUILD}/sim/varnak-sim", "--control"], stdin=subprocess.PIPE,
                                  stdout=subprocess.PIPE, text=True, bufsize=1)
        self.device = self.p.stdout.readline().strip()
        self.lock = threading.Lock()

    def command(self, c):
        with self.lock:
            self.p.stdin.write(c + "\n")
            while True:
                line = self.p.stdout.readline()
                if line.startswith("= "):
                    return line[2:].strip()

    def stats(self):
        words = self.command("stats").split()
        return {words[i]: int(words[i + 1]) for i in range(0, len(words) - 1, 2)}

    def stop(self):
        self.p.terminate()
        self.p.wait()


def cpu_and_rss(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    cpu = (int(fields[11]) + int(fields[12])) / TICK
    with open(f"/proc/{pid}/status") as f:
        rss = next(int(l.split()[1]) for l in f if l.startswith("VmRSS"))
    return cpu, rss


def recv_exactly(s, n, timeout=0.5):
    s.settimeout(timeout)
    data = b""
    while len(data) < n:
        chunk = s.recv(n - len(data))
        if not chunk:
            raise ConnectionError("closed")
        data += chunk
    return data


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


def modbus_request(s, tid, pdu):
    s.sendall(struct.pack(">HHHB", tid, 0, len(pdu) + 1, 1) + pdu)
    header = recv_exactly(s, 7, 5)
    length = struct.unpack(">H", header[4:6])[0]
    return recv_exactly(s, length - 1, 5)


def timed(s, pdus):
    times = []
    for i, pdu in enumerate(pdus):
        t0 = time.monotonic()
        reply = modbus_request(s, i, pdu)
        times.append((time.monotonic() - t0) * 1000)
        if reply[0] & 0x80:
            raise RuntimeError(f"exception {reply[1]:02X}")
        time.sleep(0.05)
    return times


class ModbusClient(threading.Thread):
    def __init__(self, port, stop, first):
        super().__init__()
        self.port, self.stop, self.first = port, stop, first
        self.asked = self.answered = 0

    def run(self):
        s = socket.create_connection(("127.0.0.1", self.port))
        tid = 0
        while not self.stop.is_set():
            tid = (tid + 1) & 0xFFFF
            self.asked += 1
            try:
                r = modbus_request(s, tid, struct.pack(">BHH", 3, self.first, 10))
                if not r[0] & 0x80:
                    self.answered += 1
            except (socket.timeout, ConnectionError):
                pass
            self.stop.wait(1.0)
        s.close()


def modbus_phase(sim, bridge, port):
    s = socket.create_connection(("127.0.0.1", port))
    s.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    timed(s, [struct.pack(">BHH", 3, 1024, 1)])  # R2000 into the image
    cached = timed(s, [struct.pack(">BHH", 3, 1024, 1)] * 40)
    fresh = timed(s, [struct.pack(">BHH", 3, 4096 + i, 1) for i in range(40)])  # R10000.. never asked before
    writes = timed(s, [struct.pack(">BHH", 6, 512, i) for i in range(20)])  # R1000
    s.close()
    print("modbus:")
    print(f"  a read in the image: median {pct(cached, 50):.1f} ms, p99 {pct(cached, 99):.1f} ms")
    print(f"  a read not in the image: median {pct(fresh, 50):.1f} ms, p99 {pct(fresh, 99):.1f} ms")
    print(f"  a write (function 6): median {pct(writes, 50):.1f} ms, p99 {pct(writes, 99):.1f} ms")
    # The line's rate: register reads a second while many registers are kept fresh.
    time.sleep(11)  # the registers above leave the list
    s = socket.create_connection(("127.0.0.1", port))
    for first in range(8192, 8192 + 200, 100):
        try:
            modbus_request(s, 1, struct.pack(">BHH", 3, first, 100))
        except socket.timeout:
            pass
    e0, p0, t0 = sim.stats()["exchanges"], sim.stats()["polls"], time.monotonic()
    time.sleep(5)
    st = sim.stats()
    dt = time.monotonic() - t0
    reads = (st["exchanges"] - e0 - (st["polls"] - p0)) / dt
    s.close()
    print(f"  register reads on the line per second beside the poll: {reads:.1f};"
          f" kept fresh at --max-age 2000: some {int(reads * 2)} registers")
    time.sleep(11)
    stop = threading.Event()
    clients = [ModbusClient(port, stop, 1024 + i) for i in range(10)]
    cpu0, _ = cpu_and_rss(bridge.pid)
    t_start = time.monotonic()
    for c in clients:
        c.start()
    time.sleep(SECONDS)
    stop.set()
    for c in clients:
        c.join()
    elapsed = time.monotonic() - t_start
    cpu1, rss = cpu_and_rss(bridge.pid)
    asked = sum(c.asked for c in clients)
    answered = sum(c.answered for c in clients)
    print(f"  10 clients reading 10 registers a second for {elapsed:.0f} s: {answered} of {asked} answered;"
          f" bridge CPU {100 * (cpu1 - cpu0) / elapsed:.2f} %, RSS {rss / 1024:.1f} MiB")


def direct_write_ms(device, samples=20):
    times = []
    for i in range(samples):
        p = subprocess.run([f"{BUILD}/cli/varnak", "--port", device, "--trace", "write", "R1000", f"{i:04X}"],
                           capture_output=True, text=True)
        ms = [float(l.split()[0]) for l in p.stderr.splitlines() if " TX " in l or " RX " in l]
        if ms:
            times.append(ms[-1] - ms[0])
    return times


def main():
    sim = Sim()
    share_port, modbus_port = free_port(), free_port()
    bridge = subprocess.Popen([f"{BUILD}/cli/varnak", "bridge", "--port", sim.device, "--share",
                               f"tcp://127.0.0.1:{share_port}", "--modbus", f"tcp://127.0.0.1:{modbus_port}"],
                              stderr=subprocess.DEVNULL)
    try:
        time.sleep(1.5)
        share_phase(sim, bridge, share_port)
        modbus_phase(sim, bridge, modbus_port)
    finally:
        bridge.terminate()
        bridge.wait()
    time.sleep(0.5)
    d = direct_write_ms(sim.device)
    print(f"the same write by the client on the line directly (first TX to last RX): median {pct(d, 50):.1f} ms,"
          f" p99 {pct(d, 99):.1f} ms")
    sim.stop()


if __name__ == "__main__":
    main()
