#!/usr/bin/python3
"""Bounded load on the demo service: starts smsclient-demo-service on a free loopback port
with a temporary data folder, runs two phases and prints their figures.

  busy   CLIENTS clients log in as fast as they can for SECONDS seconds, one connection
         per request as the client program does; every request must be answered.
  slow   SLOW connections send their request header one byte every DRIP seconds (and
         connect again when cut) while LEGIT clients keep logging in for SECONDS seconds;
         the logins must be answered, and soon.

Usage: scripts/demo-load.py [--service build/bin/smsclient-demo-service] [--seconds 20]
       [--clients 300] [--slow 64] [--legit 8] [--drip 3]
Every number is capped (at most 120 s per phase, 1000 clients) so a run always ends.
Exit status 0 when no request of either phase failed, 1 otherwise.
"""
import argparse
import http.client
import os
import socket
import subprocess
import sys
import tempfile
import threading
import time

BODY = b"username=demo&password=demo"
HEADERS = {"Content-Type": "application/x-www-form-urlencoded", "Connection": "close"}


def login(port, timeout=30.0):
    """One login on its own connection: (seconds taken, None) or (seconds, error text)."""
    start = time.monotonic()
    try:
        conn = http.client.HTTPConnection("127.0.0.1", port, timeout=timeout)
        conn.request("POST", "/softweb/login.asp", BODY, HEADERS)
        answer = conn.getresponse()
        text = answer.read()
        conn.close()
        if answer.status != 200 or not text.startswith(b"3|"):
            return time.monotonic() - start, "answer %d %r" % (answer.status, text[:40])
        return time.monotonic() - start, None
    except Exception as error:  # a closed or refused connection, a time-out
        return time.monotonic() - start, type(error).__name__


class Tally:
    def __init__(self):
        self.lock = threading.Lock()
        self.times = []
        self.errors = {}

    def add(self, seconds, error):
        with self.lock:
            self.times.append(seconds)
            if error:
                self.errors[error] = self.errors.get(error, 0) + 1

    def report(self, name):
        times = sorted(self.times)
        failed = sum(self.errors.values())
        if not times:
            print("%s: no request" % name)
            return failed
        pick = lambda q: times[min(len(times) - 1, int(q * len(times)))]
        print("%s: %d requests, %d failed %s; latency p50 %.3f s, p99 %.3f s, max %.3f s"
              % (name, len(times), failed, self.errors or "", pick(0.5), pick(0.99), times[-1]))
        return failed


def busy_phase(port, clients, seconds):
    tally = Tally()
    end = time.monotonic() + seconds

    def run():
        while time.monotonic() < end:
            tally.add(*login(port))

    threads = [threading.Thread(target=run) for _ in range(clients)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    return tally.report("busy (%d clients, %d s)" % (clients, seconds))


def slow_phase(port, slow, legit, drip, seconds):
    end = time.monotonic() + seconds
    cuts = [0]
    lock = threading.Lock()
    header = b"POST /softweb/login.asp HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 27\r\n\r\n"

    def dripper():
        while time.monotonic() < end:
            try:
                s = socket.create_connection(("127.0.0.1", port), timeout=drip + 5)
                for i in range(len(header)):
                    if time.monotonic() >= end:
                        break
                    s.sendall(header[i:i + 1])
                    time.sleep(drip)
                s.close()
            except OSError:
                with lock:
                    cuts[0] += 1

    drippers = [threading.Thread(target=dripper, daemon=True) for _ in range(slow)]
    for t in drippers:
        t.start()
    time.sleep(min(2.0, seconds / 4))  # let them take their workers
    tally = Tally()

    def run():
        while time.monotonic() < end:
            tally.add(*login(port))

    legits = [threading.Thread(target=run) for _ in range(legit)]
    for t in legits:
        t.start()
    for t in legits:
        t.join()
    failed = tally.report("slow (%d senders, one byte every %g s; %d legit clients, %d s)"
                          % (slow, drip, legit, seconds))
    print("slow senders cut by the service: %d" % cuts[0])
    return failed


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--service", default=os.path.join(here, "..", "build", "bin",
                                                          "smsclient-demo-service"))
    parser.add_argument("--seconds", type=float, default=20)
    parser.add_argument("--clients", type=int, default=300)
    parser.add_argument("--slow", type=int, default=64)
    parser.add_argument("--legit", type=int, default=8)
    parser.add_argument("--drip", type=float, default=3)
    parser.add_argument("--phase", choices=["both", "busy", "slow"], default="both")
    a = parser.parse_args()
    seconds = max(1.0, min(a.seconds, 120.0))
    clients = max(1, min(a.clients, 1000))
    slow = max(0, min(a.slow, 1000))
    legit = max(1, min(a.legit, 100))
    drip = max(0.1, min(a.drip, 10.0))

    with tempfile.TemporaryDirectory() as data:
        service = subprocess.Popen([a.service, "--port", "0", "--data-dir", data],
                                   stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        try:
            port = int(service.stdout.readline().split()[-1])
            failed = 0
            if a.phase in ("both", "busy"):
                failed += busy_phase(port, clients, seconds)
            if a.phase in ("both", "slow"):
                failed += slow_phase(port, slow, legit, drip, seconds)
        finally:
            service.terminate()
            service.wait(timeout=30)
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
