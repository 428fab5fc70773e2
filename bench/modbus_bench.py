#!/usr/bin/python3
"""Modbus TCP clients through `varnak bridge --modbus`, on the paced simulator
at 9600 baud.

  bench/modbus_bench.py [SECONDS] [BUILD_DIR]      (default 60 s, build/)

Prints the time of a read of one register that is in the image and of one
that is not (median, p99), a write's time against the same write on the line
directly, the line's register reads per second (so the registers kept fresh at
--max-age 2000), and the bridge's CPU and RSS with ten clients each reading
ten registers a second for the run.
"""
import socket
import struct
import threading
import time

from bridge_faces import SECONDS, cpu_and_rss, pct, recv_exactly, run


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



if __name__ == "__main__":
    run("--modbus", modbus_phase)
