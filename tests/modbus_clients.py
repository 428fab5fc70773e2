#!/usr/bin/python3
"""Modbus TCP clients at once against the bridge, with pymodbus: each reads
ten holding registers once a second for some seconds. Prints how many
requests were answered and exits 0 when every one was, 1 otherwise.

  modbus_clients.py PORT [CLIENTS] [SECONDS]
"""
import sys
import threading
import time

from pymodbus.client import ModbusTcpClient

port = int(sys.argv[1])
clients = int(sys.argv[2]) if len(sys.argv) > 2 else 10
seconds = int(sys.argv[3]) if len(sys.argv) > 3 else 3
asked = [0] * clients
answered = [0] * clients
problems = []


def run(i):
    client = ModbusTcpClient("127.0.0.1", port=port, timeout=3)
    if not client.connect():
        problems.append(f"client {i}: no connection")
        return
    start = time.monotonic()
    for second in range(seconds):
        asked[i] += 1
        # Overlapping windows of registers from holding register 1024 (R2000).
        r = client.read_holding_registers(1024 + i, 10, slave=1)
        if r.isError():
            problems.append(f"client {i}: {r}")
        else:
            answered[i] += 1
        time.sleep(max(0.0, start + second + 1 - time.monotonic()))
    client.close()


threads = [threading.Thread(target=run, args=(i,)) for i in range(clients)]
for t in threads:
    t.start()
for t in threads:
    t.join()
print(f"answered {sum(answered)} of {sum(asked)}")
for p in problems[:5]:
    print(p)
sys.exit(0 if sum(answered) == sum(asked) == clients * seconds else 1)
