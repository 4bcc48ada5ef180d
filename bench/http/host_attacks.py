#!/usr/bin/env python3
"""Hostile and careless clients against the HTTP host of a fresh installation.

Installs into a temporary folder with the given TQSRemoteAdmin, starts
`TQSRemoteServerHost serve` there, and runs one attack after another while a legitimate
caller (its own client address, 127.0.0.2) keeps asking for process results over new
connections. For each attack it prints the host's answer to the attacker, the host's peak
resident memory during the attack (VmHWM, reset before each one), and the legitimate caller's
success rate and 99th percentile latency. Prints a Markdown table; exit status 0.

    host_attacks.py --admin BUILD/bin/TQSRemoteAdmin [--seconds 8]

Loopback only; the whole run takes about two minutes. Not a test: figures depend on the machine.
"""
import argparse
import gzip
import http.client
import json
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

RESULT_REQUEST = ("<processresultrequest><jobsheets><j interactionon='D1' interactionid='1'/>"
                  "</jobsheets></processresultrequest>")


class Host:
    def __init__(self, admin, folder, port):
        self.folder = folder
        self.port = port
        subprocess.run([admin, "install", folder], check=True, stdout=subprocess.DEVNULL)
        config = os.path.join(folder, "web", "config", "VarnexConfiguration.xml")
        text = open(config).read()
        text = re.sub(r'key="Listen" value="[^"]*"', f'key="Listen" value="127.0.0.1:{port}"', text)
        open(config, "w").write(text)
        self.secret = re.search(r'key="SharedSecret" value="([^"]*)"', text).group(1)
        self.program = os.path.join(folder, "bin", "TQSRemoteServerHost")
        self.process = None

    def start(self):
        self.log = open(os.path.join(self.folder, "host.log"), "ab")
        self.process = subprocess.Popen([self.program, "serve"], stderr=self.log,
                                        stdout=subprocess.DEVNULL)
        for _ in range(100):
            try:
                socket.create_connection(("127.0.0.1", self.port), timeout=1).close()
                return
            except OSError:
                time.sleep(0.05)
        raise SystemExit("the host did not start")

    def stop(self):
        self.process.kill()
        self.process.wait()
        self.log.close()

    def reset_peak(self):
        with open(f"/proc/{self.process.pid}/clear_refs", "w") as f:
            f.write("5")

    def peak_mb(self):
        try:
            status = open(f"/proc/{self.process.pid}/status").read()
        except OSError:
            return float("nan")
        return int(re.search(r"VmHWM:\s+(\d+)", status).group(1)) / 1024

    def auth(self):
        return {"Authorization": "Bearer " + self.secret}


class LegitimateCaller(threading.Thread):
    """Asks for process results over a new connection each time, from 127.0.0.2."""

    def __init__(self, host):
        super().__init__(daemon=True)
        self.host = host
        self.stop = threading.Event()
        self.latencies = []
        self.failures = 0

    def run(self):
        body = json.dumps({"i_sResultFor": RESULT_REQUEST, "i_sEmployee": "1001"})
        while not self.stop.is_set():
            started = time.monotonic()
            try:
                connection = http.client.HTTPConnection("127.0.0.1", self.host.port, timeout=5,
                                                        source_address=("127.0.0.2", 0))
                connection.request("POST", "/JobSheet/GetProcessResult", body,
                                   {**self.host.auth(), "Content-Type": "application/json"})
                ok = connection.getresponse().status == 200
                connection.close()
            except OSError:
                ok = False
            took = time.monotonic() - started
            if ok:
                self.latencies.append(took)
            else:
                self.failures += 1
                time.sleep(0.05)
            time.sleep(0.01)

    def summary(self):
        total = len(self.latencies) + self.failures
        if total == 0:
            return "0 calls", "-"
        rate = f"{100 * len(self.latencies) / total:.0f} % of {total}"
        if not self.latencies:
            return rate, "-"
        ordered = sorted(self.latencies)
        p99 = ordered[min(len(ordered) - 1, int(0.99 * len(ordered)))]
        return rate, f"{p99 * 1000:.0f} ms"


def raw(port, data, read=True, timeout=10):
    """Sends bytes on a new connection; the status line of the answer (or why there is none)."""
    s = socket.create_connection(("127.0.0.1", port), timeout=timeout)
    try:
        s.sendall(data)
        if not read:
            return s
        answer = b""
        while b"\r\n" not in answer:
            chunk = s.recv(65536)
            if not chunk:
                return "closed without an answer"
            answer += chunk
        return answer.split(b"\r\n", 1)[0].decode()
    except socket.timeout:
        return "no answer within %d s" % timeout
    except OSError as e:
        return "connection error: " + (e.strerror or type(e).__name__)
    finally:
        if read:
            s.close()


def status_of(line):
    return line[9:] if line.startswith("HTTP/") else line


def chunked_upload(host, total, with_secret):
    head = ("POST /JobSheet/GetProcessResult HTTP/1.1\r\nHost: t\r\nTransfer-Encoding: chunked\r\n"
            "Content-Type: application/json\r\n")
    if with_secret:
        head += f"Authorization: Bearer {host.secret}\r\n"
    s = socket.create_connection(("127.0.0.1", host.port), timeout=10)
    s.sendall((head + "\r\n").encode())
    chunk = b"100000\r\n" + b" " * 0x100000 + b"\r\n"
    sent = 0
    try:
        while sent < total:
            s.sendall(chunk)
            sent += 0x100000
        s.sendall(b"0\r\n\r\n")
    except OSError:
        pass
    try:
        line = s.recv(65536).split(b"\r\n", 1)[0].decode() or "closed"
    except OSError as e:
        line = "connection error: " + (e.strerror or type(e).__name__)
    s.close()
    return f"{status_of(line)} after {sent >> 20} MiB sent"


def gzip_bomb(host, parallel):
    bomb = gzip.compress(b" " * (512 << 20), 9)
    results = []

    def one():
        s = socket.create_connection(("127.0.0.1", host.port), timeout=20)
        head = (f"POST /JobSheet/GetProcessResult HTTP/1.1\r\nHost: t\r\nContent-Encoding: gzip\r\n"
                f"Content-Type: application/json\r\nAuthorization: Bearer {host.secret}\r\n"
                f"Content-Length: {len(bomb)}\r\n\r\n").encode()
        try:
            s.sendall(head + bomb)
            results.append(status_of(s.recv(65536).split(b"\r\n", 1)[0].decode() or "closed"))
        except OSError as e:
            results.append("connection error: " + (e.strerror or type(e).__name__))
        s.close()

    threads = [threading.Thread(target=one) for _ in range(parallel)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    return f"{len(bomb) // 1024} KB each: " + ", ".join(sorted(set(results)))


def slow_headers(host, clients, seconds):
    request = (f"POST /JobSheet/GetProcessResult HTTP/1.1\r\nHost: t\r\n"
               f"Authorization: Bearer {host.secret}\r\n").encode()
    sockets = [socket.create_connection(("127.0.0.1", host.port), timeout=5) for _ in range(clients)]
    closed = 0
    for i in range(int(seconds)):
        for s in list(sockets):
            try:
                s.send(request[i:i + 1])
            except OSError:
                sockets.remove(s)
                closed += 1
        time.sleep(1)
    for s in sockets:
        s.close()
    return f"{clients} connections held; {closed} closed by the host within {seconds:.0f} s"


def keep_alive_hogs(host, clients, seconds):
    counts = [0] * clients
    stop = time.monotonic() + seconds
    body = json.dumps({"i_sResultFor": RESULT_REQUEST, "i_sEmployee": "9"})

    def hog(i):
        connection = http.client.HTTPConnection("127.0.0.1", host.port, timeout=5)
        try:
            while time.monotonic() < stop:
                connection.request("POST", "/JobSheet/GetProcessResult", body,
                                   {**host.auth(), "Content-Type": "application/json"})
                connection.getresponse().read()
                counts[i] += 1
        except (OSError, http.client.HTTPException):
            pass

    threads = [threading.Thread(target=hog, args=(i,)) for i in range(clients)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    return f"{sum(counts)} requests on {clients} kept-alive connections"


def connection_flood(host, count):
    held = []
    for _ in range(count):
        try:
            held.append(socket.create_connection(("127.0.0.1", host.port), timeout=2))
        except OSError:
            break
    time.sleep(2)
    alive = 0
    for s in held:
        s.setblocking(False)
        try:
            alive += 1 if s.recv(1) else 0
        except BlockingIOError:
            alive += 1
        except OSError:
            pass
        s.close()
    return f"{count} connections opened from one address, {alive} still open after 2 s"


def pipelined(host):
    body = json.dumps({"i_sDate": "20261208T120000"})
    one = (f"POST /JobSheet/returnDate HTTP/1.1\r\nHost: t\r\nAuthorization: Bearer {host.secret}\r\n"
           f"Content-Length: {len(body)}\r\n\r\n{body}")
    s = socket.create_connection(("127.0.0.1", host.port), timeout=5)
    s.sendall((one * 3).encode())
    answer = b""
    try:
        while answer.count(b"HTTP/1.1 ") < 3:
            chunk = s.recv(65536)
            if not chunk:
                break
            answer += chunk
    except OSError:
        pass
    s.close()
    return f"{answer.count(b'HTTP/1.1 200')} of 3 answered 200"


def form_body(host):
    body = json.dumps({"i_sDate": "20261208T120000"}) + " " * 20000
    connection = http.client.HTTPConnection("127.0.0.1", host.port, timeout=5)
    connection.request("POST", "/JobSheet/returnDate", body,
                       {**host.auth(), "Content-Type": "application/x-www-form-urlencoded"})
    response = connection.getresponse()
    data = response.read()
    return f"{response.status}, {len(data)} bytes, JSON: {is_json(data)}"


def is_json(data):
    try:
        json.loads(data)
        return "yes"
    except ValueError:
        return "no"


def huge_parameter(host):
    body = json.dumps({"i_sDate": "x" * (10 << 20)})
    connection = http.client.HTTPConnection("127.0.0.1", host.port, timeout=20)
    connection.request("POST", "/JobSheet/returnDate", body, host.auth())
    response = connection.getresponse()
    data = response.read()
    return f"{response.status}, answer of {len(data)} bytes"


def second_serve(host):
    started = time.monotonic()
    try:
        run = subprocess.run([host.program, "serve"], capture_output=True, timeout=10)
    except subprocess.TimeoutExpired:
        return "still serving after 10 s (shares the address)"
    last = run.stderr.decode().strip().splitlines()[-1:] or [""]
    return f"exit {run.returncode} after {time.monotonic() - started:.1f} s: {last[0][:100]}"


def health_without_database(host):
    database = os.path.join(host.folder, "data", "server.db")
    aside = database + ".aside"
    os.rename(database, aside)
    try:
        connection = http.client.HTTPConnection("127.0.0.1", host.port, timeout=5)
        connection.request("GET", "/health")
        response = connection.getresponse()
        data = response.read()
        return f"{response.status} {data[:60].decode(errors='replace')}"
    finally:
        for suffix in ("", "-wal", "-shm"):
            if suffix and os.path.exists(database + suffix) and not os.path.exists(aside + suffix):
                os.remove(database + suffix)
        if os.path.exists(database):
            os.remove(database)
        os.rename(aside, database)


def sigterm_with_tricklers(host):
    request = (f"POST /JobSheet/GetProcessResult HTTP/1.1\r\nHost: t\r\n"
               f"Authorization: Bearer {host.secret}\r\n").encode()
    tricklers = [socket.create_connection(("127.0.0.1", host.port)) for _ in range(2)]
    for i in range(3):
        for s in tricklers:
            s.send(request[i:i + 1])
        time.sleep(0.5)
    started = time.monotonic()
    host.process.send_signal(signal.SIGTERM)
    deadline = started + 60
    i = 3
    while host.process.poll() is None and time.monotonic() < deadline:
        for s in tricklers:
            try:
                s.send(request[i:i + 1])
            except OSError:
                pass
        i += 1
        time.sleep(0.5)
    took = time.monotonic() - started
    code = host.process.poll()
    for s in tricklers:
        s.close()
    if code is None:
        host.process.kill()
        return f"still running after {took:.0f} s"
    return f"exit {code} after {took:.1f} s"


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--admin", required=True)
    parser.add_argument("--seconds", type=float, default=8)
    parser.add_argument("--port", type=int, default=18085)
    options = parser.parse_args()
    folder = tempfile.mkdtemp(prefix="tqs-attacks-")
    host = Host(os.path.abspath(options.admin), folder, options.port)
    seconds = options.seconds
    attacks = [
        ("none (baseline)", lambda: (time.sleep(seconds), "-")[1]),
        ("8 slow clients, one header byte a second", lambda: slow_headers(host, 8, seconds)),
        ("200 slow clients, one header byte a second", lambda: slow_headers(host, 200, seconds)),
        ("8 kept-alive callers sending back to back", lambda: keep_alive_hogs(host, 8, seconds)),
        ("1000 idle connections from one address", lambda: connection_flood(host, 1000)),
        ("chunked body of 256 MiB without the secret",
         lambda: chunked_upload(host, 256 << 20, False)),
        ("chunked body of 256 MiB with the secret",
         lambda: chunked_upload(host, 256 << 20, True)),
        ("4 gzip bodies in parallel (512 MiB each decoded)", lambda: gzip_bomb(host, 4)),
        ("3 pipelined requests", lambda: pipelined(host)),
        ("20 KB JSON body sent as a form", lambda: form_body(host)),
        ("a parameter of 10 MiB", lambda: huge_parameter(host)),
        ("/health without the secret, database gone", lambda: health_without_database(host)),
        ("a second serve on the same address", lambda: second_serve(host)),
    ]
    rows = []
    for name, attack in attacks:
        host.start()  # a fresh host for each attack: its peak memory is the attack's own
        time.sleep(0.5)
        host.reset_peak()
        caller = LegitimateCaller(host)
        caller.start()
        try:
            answer = attack()
        except Exception as e:  # an attack that breaks the harness is a finding too
            answer = f"harness error: {e!r}"
        time.sleep(0.5)
        caller.stop.set()
        caller.join()
        rate, p99 = caller.summary()
        rows.append((name, answer, f"{host.peak_mb():.0f}", rate, p99))
        host.stop()
        print(f"done: {name}", file=sys.stderr)
    host.start()
    rows.append(("SIGTERM with two clients trickling headers", sigterm_with_tricklers(host), "-",
                 "-", "-"))
    print("| attack | host's answer | peak RSS (MB) | legitimate calls answered | p99 |")
    print("|---|---|---|---|---|")
    for row in rows:
        print("| " + " | ".join(row) + " |")
    if host.process.poll() is None:
        host.stop()
    shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
