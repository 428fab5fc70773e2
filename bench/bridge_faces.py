"""What the benchmarks of the bridge's network faces share: the paced
simulator with its control commands, the bridge with one face, the bridge's
CPU and RSS, percentiles, and the same write by the client on the line
directly, for comparison. Not run by itself.
"""
import os
import socket
import subprocess
import sys
import threading
import time

SECONDS = int(sys.argv[1]) if len(sys.argv) > 1 else 60
BUILD = sys.argv[2] if len(sys.argv) > 2 else "build"
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


def direct_write_ms(device, samples=20):
    times = []
    for i in range(samples):
        p = subprocess.run([f"{BUILD}/cli/varnak", "--port", device, "--trace", "write", "R1000", f"{i:04X}"],
                           capture_output=True, text=True)
        ms = [float(l.split()[0]) for l in p.stderr.splitlines() if " TX " in l or " RX " in l]
        if ms:
            times.append(ms[-1] - ms[0])
    return times




def run(face, phase):
    """The simulator and a bridge serving `face` ("--share", "--modbus") on a
    free port; `phase(sim, bridge, port)` measures; then the same write on the
    line directly."""
    sim = Sim()
    port = free_port()
    bridge = subprocess.Popen([f"{BUILD}/cli/varnak", "bridge", "--port", sim.device, face,
                               f"tcp://127.0.0.1:{port}"], stderr=subprocess.DEVNULL)
    try:
        time.sleep(1.5)
        phase(sim, bridge, port)
    finally:
        bridge.terminate()
        bridge.wait()
    time.sleep(0.5)
    d = direct_write_ms(sim.device)
    print(f"the same write by the client on the line directly (first TX to last RX): median {pct(d, 50):.1f} ms,"
          f" p99 {pct(d, 99):.1f} ms")
    sim.stop()
