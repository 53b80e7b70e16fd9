"""The server's own binary against the simulator, over loopback TCP and a pty,
with real clients: PyVISA on SCPI, raw sockets and the command-line client
on the relay. Frames are checked where they arrive: in the simulator's log.

usage: test_server.py SERVER SIMULATOR CLI
"""
import os
import re
import select
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

import pyvisa

SERVER, SIM, CLI = sys.argv[1:4]
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL:", what, flush=True)


def wait_for(predicate, seconds):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        if predicate():
            return True
        time.sleep(0.05)
    return predicate()


def frame(command, data=b"", start=0xAA, status=0):
    body = bytes([start, command, status, len(data) >> 8, len(data) & 0xFF]) + data
    return body + bytes([(sum(body) + 1) & 0xFF])


def hex_of(data):
    return " ".join("%02X" % b for b in data)


class Process:
    """A program whose stdout lines are collected as they come."""

    def __init__(self, args, env=None):
        self.proc = subprocess.Popen(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                     stdin=subprocess.DEVNULL, text=True, env=env)
        self.lines = []
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.proc.stdout:
            self.lines.append(line.rstrip("\n"))

    def find(self, pattern, count=1):
        found = [m for m in (re.search(pattern, l) for l in list(self.lines)) if m]
        return found[count - 1] if len(found) >= count else None

    def wait_line(self, pattern, seconds=10, count=1):
        wait_for(lambda: self.find(pattern, count), seconds)
        return self.find(pattern, count)

    def stop(self, sig=signal.SIGTERM):
        if self.proc.poll() is None:
            self.proc.send_signal(sig)
        try:
            return self.proc.wait(10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            return self.proc.wait()


class Simulator(Process):
    def __init__(self, folder, tcp_port=0):
        self.log = os.path.join(folder, "sim.log")
        self.pty = os.path.join(folder, "pty")
        super().__init__([SIM, "--tcp-port", str(tcp_port), "--pty-link", self.pty, "--log",
                          self.log, "--clock", "2026-01-02 03:04:05"])
        if not self.wait_line("^ready"):
            sys.exit("the simulator did not start")
        self.port = int(self.find(r"listening tcp 127\.0\.0\.1:(\d+)").group(1))

    def frames(self, link):
        """Frames the simulator received on link, live requests left out."""
        try:
            text = open(self.log).read()
        except FileNotFoundError:
            return []
        found = re.findall(r"^\S+ rx %s ([0-9A-F ]+)$" % link, text, re.M)
        return [f for f in found if not f.startswith("AA C2 ")]


def start_server(link, *options):
    # Freed memory goes back at once, so the memory that stays is the server's.
    env = dict(os.environ, ASAN_OPTIONS="quarantine_size_mb=0:detect_leaks=0")
    server = Process([SERVER, "-c", link, "--scpi", "127.0.0.1:0", "--relay", "127.0.0.1:0",
                      *options], env)
    scpi = server.wait_line(r"listening scpi 127\.0\.0\.1:(\d+)")
    relay = server.wait_line(r"listening relay 127\.0\.0\.1:(\d+)")
    if not (scpi and relay and server.wait_line(r" connected RS620042 1\.05$")):
        sys.exit("the server did not start: %s" % server.lines)
    return server, int(scpi.group(1)), int(relay.group(1))


def open_visa(port):
    rm = pyvisa.ResourceManager("@py")
    inst = rm.open_resource("TCPIP::127.0.0.1::%d::SOCKET" % port, read_termination="\n",
                            write_termination="\n")
    inst.timeout = 5000
    return inst


def connect(port):
    s = socket.create_connection(("127.0.0.1", port), timeout=5)
    s.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    return s


def receive(sock, count, seconds=3.0):
    """Up to count bytes, or what came within seconds."""
    data = b""
    end = time.monotonic() + seconds
    while len(data) < count and time.monotonic() < end:
        ready, _, _ = select.select([sock], [], [], max(0.0, end - time.monotonic()))
        if not ready:
            break
        chunk = sock.recv(count - len(data))
        if not chunk:
            break
        data += chunk
    return data


def sent_by(sim, link, action):
    """The frames that reached the simulator while action ran."""
    before = len(sim.frames(link))
    action()
    time.sleep(0.1)
    return sim.frames(link)[before:]


def rss_kb(pid):
    for line in open("/proc/%d/status" % pid):
        if line.startswith("VmRSS:"):
            return int(line.split()[1])
    return 0


def test_usage_and_ports():
    env = {k: v for k, v in os.environ.items() if k != "RV_SOLA62_CONNECT"}
    check(subprocess.run([SERVER], env=env, capture_output=True).returncode == 2,
          "no LINK: exit 2")
    taken = socket.socket()
    taken.bind(("127.0.0.1", 0))
    taken.listen()
    port = taken.getsockname()[1]
    run = subprocess.run([SERVER, "-c", "tcp://127.0.0.1:1", "--scpi", "127.0.0.1:%d" % port],
                         capture_output=True, text=True, timeout=10)
    check(run.returncode == 3 and "127.0.0.1:%d" % port in run.stderr and "in use" in run.stderr,
          "a taken port: exit 3 with the address and the reason: %r" % run.stderr)
    taken.close()


def test_scpi(sim, inst, link):
    check(inst.query("*IDN?") == "RV-SOLA62,2,RS620042,1.05", "*IDN?")
    no_error = '0,"No error"'
    # A level on every type, and the frame that reached the instrument.
    levels = [("MV", "VOLT 50MV", "00 40 00"), ("V", "VOLT 2.5", "01 20 00"),
              ("MA", "CURR 4.5MA", "02 1C CD"), ("MAEXT", "CURR 0.01", "03 40 00")]
    for type_name, command, data in levels:
        sent = sent_by(sim, link, lambda: inst.query("TYPE %s;%s;*OPC?" % (type_name, command)))
        check(sent == [hex_of(frame(0xC1, bytes.fromhex(data)))], "%s: %s" % (command, sent))
        check(inst.query("SYST:ERR?") == no_error, command + ": no error")
    check(inst.query("TYPE?;VOLT?") == "MAEXT;+9.910000E+37", "VOLT? on a current type")
    check(inst.query("SYST:ERR?").startswith("-221,"), "VOLT? on a current type: -221")

    refused = [("TYPE MA;CURR 20.5MA", '-222,"Data out of range;20.5 is outside 0 to 20 mA '
                '(type 2)"'),
               ("TYPE V;VOLT 6", '-222,"Data out of range;6 is outside the server\'s limit '
                '-5 to 5 V (type 1)"'),
               ("VOLTA 1", '-113,"Undefined header"')]
    for command, error in refused:
        sent = sent_by(sim, link, lambda: inst.write(command) and inst.query("*OPC?"))
        check(sent == [] and inst.query("SYST:ERR?") == error, "%s: %s" % (command, sent))

    # Joined, with the path rule: the sweep, then its state from a live report.
    sweep = "TYPE V;SWE:STAR -1;STOP 1V;TIME:RISE 2.5;FALL 500MS;:INIT;*OPC?"
    sent = sent_by(sim, link, lambda: inst.query(sweep))
    check(sent == [hex_of(frame(0xC6, bytes.fromhex("01 F3 33 0C CD 00 FA 00 32")))],
          "sweep: %s" % sent)
    check(inst.query("STAT:OPER:COND?") == "8", "sweeping")
    sent = sent_by(sim, link, lambda: inst.query("REPL:CHAN AI3;COUN 10;STAT ON;*OPC?"))
    check(sent == [hex_of(frame(0xC4, bytes.fromhex("02 00 0A")))], "replay: %s" % sent)
    check(inst.query("STAT:OPER:COND?") == "16384", "replaying")
    sent = sent_by(sim, link, lambda: inst.query("REPL OFF;*OPC?"))
    check(sent == [hex_of(frame(0xC5))], "replay off: %s" % sent)

    sent = sent_by(sim, link, lambda: inst.query("SYST:DATE 2026,12,6;*OPC?"))
    check(len(sent) == 2 and sent[0] == hex_of(frame(0x41)) and
          sent[1].startswith("AA 40 00 00 06 1A 0C 06 03 04 "), "date: %s" % sent)
    sent = sent_by(sim, link, lambda: inst.query("SYST:TIME 3,4,5;*OPC?"))
    check(len(sent) == 2 and sent[1] == hex_of(frame(0x40, bytes.fromhex("1A 0C 06 03 04 05"))),
          "time: %s" % sent)
    check(inst.query("SYST:DATE?") == "2026,12,6", "SYST:DATE?")
    check(inst.query("SYST:TIME?").startswith("3,4,"), "SYST:TIME?")
    check(inst.query("SYST:ERR?") == no_error, "clock: no error")


def test_relay(sim, relay_port, scpi_port):
    a, b = connect(relay_port), connect(relay_port)
    a.sendall(frame(0x10))
    check(receive(a, 6) == frame(0x10, start=0x55), "0x10 answered by the server")
    b.sendall(frame(0x42))
    version = frame(0x42, bytes.fromhex("02 01 05 00 00 00"), start=0x55)
    check(receive(b, len(version)) == version, "0x42: the instrument's reply")
    # Both at once: each gets its own answer, the instrument's bytes.
    level = frame(0xC1, bytes.fromhex("01 0C CD"))
    got = []
    sent = sent_by(sim, "tcp", lambda: (a.sendall(level), b.sendall(frame(0x43)),
                                        got.extend([receive(a, 6), receive(b, 14)])))
    check(got == [frame(0xC1), frame(0x43, b"RS620042", start=0x55)] and sent == [hex_of(level)],
          "0xC1 and 0x43 at once: %s %s" % (got, sent))
    # Beyond the limit (6 V): refused here, nothing sent.
    sent = sent_by(sim, "tcp", lambda: (a.sendall(frame(0xC1, bytes.fromhex("01 4C CC"))),
                                        got.append(receive(a, 6))))
    check(got[-1] == frame(0xC1, status=0xF0) and sent == [], "relay limit: %s" % sent)
    # A damaged frame is dropped as the instrument would; the next one counts.
    a.sendall(frame(0x10)[:-1] + b"\x00" + frame(0x11))
    check(receive(a, 12, 1.0) == frame(0x11, start=0x55), "bad checksum dropped")

    cli = lambda: subprocess.run([CLI, "-c", "tcp://127.0.0.1:%d" % relay_port, "set", "1.5",
                                  "--type", "v"], capture_output=True, timeout=20)
    result = []
    sent = sent_by(sim, "tcp", lambda: result.append(cli()))
    check(result[0].returncode == 0 and sent == [hex_of(frame(0xC1, bytes.fromhex("01 13 33")))],
          "the client on the relay: %s %s" % (result[0].stderr, sent))
    a.close()
    b.close()


def test_bad_input(server, scpi_port, relay_port, inst):
    s = connect(scpi_port)
    s.sendall(b"A" * 100000 + b"\n*IDN?\n")
    check(receive(s, 27).startswith(b"RV-SOLA62,"), "a 100 kB line, then *IDN?")
    s.sendall(b"SYST:ERR?\n")
    check(receive(s, 100, 1.0).startswith(b'-223,"Too much data'), "a 100 kB line: -223")
    garbage = bytes(range(256)) * 40
    r = connect(relay_port)
    s.sendall(garbage)
    r.sendall(garbage)
    # A false length swallows what follows until the bytes pause, as at the
    # instrument.
    time.sleep(1.1)
    r.sendall(frame(0x10))
    check(receive(r, 6) == frame(0x10, start=0x55), "relay garbage, then 0x10")
    check(inst.query("*IDN?").startswith("RV-SOLA62,"), "SCPI after garbage")
    s.close()
    r.close()

    # A client that sends and never reads: the others go on; memory stays.
    before = rss_kb(server.proc.pid)
    hog = connect(scpi_port)
    hog.setblocking(False)
    end = time.monotonic() + 3
    while time.monotonic() < end:
        try:
            hog.send(b"*IDN?;*IDN?;*IDN?\n" * 1000)
        except BlockingIOError:
            time.sleep(0.01)
    check(inst.query("*IDN?").startswith("RV-SOLA62,"), "SCPI beside a client that never reads")
    grown = rss_kb(server.proc.pid) - before
    check(grown < 20000, "memory grew by %d kB beside a client that never reads" % grown)
    hog.close()

    # --max-clients 4: the PyVISA client and three more; a fifth is refused.
    time.sleep(0.3)
    extra = [connect(scpi_port) for _ in range(4)]
    check(all(receive(c, 1, 0.5) == b"" for c in extra[:3]) and
          server.wait_line(r"refused: 4 clients already", 3), "more than --max-clients")
    for c in extra:
        c.close()


def test_loss_and_return(folder, sim, server, inst, relay_port):
    relay = connect(relay_port)
    sim.stop()
    check(server.wait_line(r" link lost$", 5) is not None, "link lost reported")
    check(inst.query("VOLT?") == "+9.910000E+37", "link down: 9.91E+37")
    check(inst.query("SYST:ERR?").startswith("-241,"), "link down: -241")
    relay.sendall(frame(0x10))
    check(receive(relay, 6, 1.0) == b"", "link down: the relay is silent")
    sim = Simulator(folder, sim.port)
    check(server.wait_line(r" connected RS620042", 10, count=2) is not None, "reconnected")
    check(inst.query("*IDN?").startswith("RV-SOLA62,"), "SCPI goes on after the return")
    relay.sendall(frame(0x10))
    check(receive(relay, 6) == frame(0x10, start=0x55), "the relay goes on after the return")
    relay.close()
    return sim


def main():
    folder = tempfile.mkdtemp(prefix="rv-sola62-server.")
    test_usage_and_ports()
    sim = Simulator(folder)
    servers = []
    try:
        server, scpi_port, relay_port = start_server("tcp://127.0.0.1:%d" % sim.port,
                                                     "--limit", "v=-5:5", "--limit", "ma=0:12",
                                                     "--max-clients", "4")
        servers.append(server)
        pty_server, pty_scpi, _ = start_server(sim.pty)
        servers.append(pty_server)
        inst = open_visa(scpi_port)
        test_scpi(sim, inst, "tcp")
        pty_inst = open_visa(pty_scpi)
        check(pty_inst.query("*IDN?") == "RV-SOLA62,2,RS620042,1.05", "pty: *IDN?")
        sent = sent_by(sim, "pty", lambda: pty_inst.query("TYPE V;VOLT 2.5;*OPC?"))
        check(sent == [hex_of(frame(0xC1, bytes.fromhex("01 20 00")))], "pty: level %s" % sent)
        pty_inst.close()
        check(pty_server.stop() == 0, "pty server: exit 0 on SIGTERM")

        test_relay(sim, relay_port, scpi_port)
        test_bad_input(server, scpi_port, relay_port, inst)
        sim = test_loss_and_return(folder, sim, server, inst, relay_port)
        inst.close()
        sent = sent_by(sim, "tcp", lambda: check(server.stop(signal.SIGINT) == 0,
                                                 "SIGINT: exit 0"))
        check(sent == [hex_of(frame(0x11))], "SIGINT: 0x11 at the instrument: %s" % sent)
    finally:
        for process in servers + [sim]:
            process.stop()
        subprocess.run(["rm", "-rf", folder])
    if failures:
        print("%d failed" % len(failures))
        return 1
    print("all passed")
    return 0


sys.exit(main())
