"""Round trips through the server, run by scripts/bench-server.sh: SCPI
`VOLT x;*OPC?`, the relay's 0xC1 against the same command sent straight to a
simulator, and 8 clients at once. Times are taken here, in Python, so each
includes this side's socket calls.

usage: bench_server.py SCPI_PORT RELAY_PORT DIRECT_SIM_PORT COUNT
"""
import socket
import statistics
import sys
import threading
import time

scpi_port, relay_port, direct_port, count = map(int, sys.argv[1:5])


def connect(port):
    s = socket.create_connection(("127.0.0.1", port))
    s.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    return s


def frame(command, data=b""):
    body = bytes([0xAA, command, 0, len(data) >> 8, len(data) & 0xFF]) + data
    return body + bytes([(sum(body) + 1) & 0xFF])


def read_exactly(s, n):
    data = b""
    while len(data) < n:
        chunk = s.recv(n - len(data))
        if not chunk:
            raise SystemExit("connection closed")
        data += chunk
    return data


def scpi_round_trip(s, i):
    s.sendall(b"VOLT %.3f;*OPC?\n" % ((i % 100) / 20.0))
    reply = b""
    while not reply.endswith(b"\n"):
        reply += s.recv(64)
    return reply == b"1\n"


def relay_round_trip(s, i):
    s.sendall(frame(0xC1, bytes([1, 0, i % 128])))
    return read_exactly(s, 6)[2] == 0


def times_of(port, round_trip, prepare=b""):
    s = connect(port)
    if prepare:
        s.sendall(prepare)
        s.recv(64)
    times = []
    for i in range(count):
        start = time.perf_counter()
        if not round_trip(s, i):
            raise SystemExit("a failed answer")
        times.append((time.perf_counter() - start) * 1000)
    s.close()
    return times


def summary(name, times):
    times = sorted(times)
    p99 = times[min(len(times) - 1, int(len(times) * 0.99 + 0.999) - 1)]
    print("%-28s median %.3f ms, 99th percentile %.3f ms" % (name, statistics.median(times), p99))
    return statistics.median(times)


print("== %d round trips each" % count)
summary("SCPI VOLT x;*OPC?", times_of(scpi_port, scpi_round_trip, b"TYPE V;*OPC?\n"))
relay = summary("relay 0xC1", times_of(relay_port, relay_round_trip))
direct = summary("0xC1 straight to a simulator", times_of(direct_port, relay_round_trip))
print("the relay adds %.3f ms (medians)" % (relay - direct))

print("== 8 clients at once (4 SCPI, 4 relay), %d commands each" % count)
finished = {}
answered = {}


def client(name, port, round_trip):
    s = connect(port)
    if port == scpi_port:
        s.sendall(b"TYPE V;*OPC?\n")
        s.recv(64)
    start_all.wait()
    answered[name] = sum(1 for i in range(count) if round_trip(s, i))
    finished[name] = time.perf_counter()
    s.close()


start_all = threading.Event()
threads = [threading.Thread(target=client, args=("scpi%d" % i, scpi_port, scpi_round_trip))
           for i in range(4)]
threads += [threading.Thread(target=client, args=("relay%d" % i, relay_port, relay_round_trip))
            for i in range(4)]
for t in threads:
    t.start()
time.sleep(0.5)
began = time.perf_counter()
start_all.set()
for t in threads:
    t.join()
ends = sorted(finished.values())
print("answered: %d of %d" % (sum(answered.values()), 8 * count))
print("finishing times: first %.3f s, last %.3f s after the start (spread %.1f ms)" %
      (ends[0] - began, ends[-1] - began, (ends[-1] - ends[0]) * 1000))
