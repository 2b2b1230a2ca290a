#!/usr/bin/python3
"""pelmor-web under load: a database of many surveys at many sites, clients
asking for the ranking, site histories, survey pages with their graphs and
the API at once for a while; then the page of one very large survey.
Prints requests per second, the median and 99th percentile per kind of
page, failed requests, and the server's memory at the start and the end.

bench_web.py [--surveys 500] [--vehicles 20000] [--sites 200] [--clients 50]
             [--duration 60] [--large 1000000] [--keep DIR]
"""

import argparse
import http.client
import os
import random
import re
import shutil
import signal
import socket
import statistics
import subprocess
import tempfile
import threading
import time
from concurrent.futures import ThreadPoolExecutor

BIN = os.environ.get("PELMOR_BIN", os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "build", "bin"))
CLI, WEB, LOGGEN = (os.path.join(BIN, name) for name in ("pelmor-cli", "pelmor-web", "pelmor-loggen"))


def run(*args):
    subprocess.run(args, check=True, capture_output=True, env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))


def survey_of(index, sites):
    """(start date, trailer, location): one trailer letter a day, so batch
    numbers differ; sites taken in turn."""
    day = time.gmtime(time.mktime((2025, 1, 1, 12, 0, 0, 0, 0, 0)) + 86400 * (index // 26))
    return (time.strftime("%m/%d/%Y", day), chr(ord("A") + index % 26), f"Bench Street {index % sites}")


def import_one(folder, index, vehicles, sites):
    start, trailer, location = survey_of(index, sites)
    log = os.path.join(folder, f"log{index}.rsx")
    run(LOGGEN, "--rsx", "--start-date", start, "--days", "2", "--vehicles", str(vehicles), "--seed",
        str(index + 1), "-o", log)
    run(CLI, "--db", folder, "import", log, "--trailer", trailer, "--location", location, "--direction",
        "North", "--zone", "Residential", "--unit", "MPH")
    os.remove(log)
    month, day, year = start.split("/")
    return f"{month}{day}{year[2:]}-{trailer}"


def rss_kib(pid):
    with open(f"/proc/{pid}/status") as status:
        return int(re.search(r"VmRSS:\s+(\d+)", status.read()).group(1))


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Client:
    def __init__(self, port):
        self.port = port
        self.connection = None

    def get(self, path):
        """(status, body, seconds); a broken connection is made anew."""
        started = time.perf_counter()
        for attempt in range(2):
            try:
                if self.connection is None:
                    self.connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=60)
                self.connection.request("GET", path)
                reply = self.connection.getresponse()
                body = reply.read()
                return reply.status, body, time.perf_counter() - started
            except (OSError, http.client.HTTPException):
                self.connection = None
        return 0, b"", time.perf_counter() - started


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--surveys", type=int, default=500)
    parser.add_argument("--vehicles", type=int, default=20000)
    parser.add_argument("--sites", type=int, default=200)
    parser.add_argument("--clients", type=int, default=50)
    parser.add_argument("--duration", type=float, default=60)
    parser.add_argument("--large", type=int, default=1000000)
    parser.add_argument("--keep", help="a folder to build the database in and keep (reused when it holds one)")
    options = parser.parse_args()

    folder = options.keep or tempfile.mkdtemp(prefix="bench-web-")
    os.makedirs(folder, exist_ok=True)
    started = time.perf_counter()
    if not os.path.exists(os.path.join(folder, "pelmor.mdb")):
        run(CLI, "--db", folder, "init")
    stored = set(subprocess.run([CLI, "--db", folder, "surveys"], capture_output=True, text=True).stdout.split())
    wanted = list(range(options.surveys))
    with ThreadPoolExecutor(2) as pool:
        batches = list(pool.map(lambda i: survey_of_batch(i, options.sites) if survey_of_batch(i, options.sites)
                                in stored else import_one(folder, i, options.vehicles, options.sites), wanted))
    large_batch = "010199-Z"
    if large_batch not in stored:
        log = os.path.join(folder, "large.rsx")
        run(LOGGEN, "--rsx", "--start-date", "01/01/2099", "--days", "7", "--vehicles",
            str(options.large), "-o", log)
        run(CLI, "--db", folder, "import", log, "--trailer", "Z", "--batch", large_batch, "--location",
            "Large Street", "--direction", "North", "--zone", "Residential", "--unit", "MPH")
        os.remove(log)
    print(f"database: {options.surveys} surveys of {options.vehicles} vehicles at {options.sites} sites and one "
          f"of {options.large}, ready in {time.perf_counter() - started:.0f} s")

    port = free_port()
    server = subprocess.Popen([WEB, "--db", folder, "--listen", f"127.0.0.1:{port}"], stderr=subprocess.DEVNULL,
                              env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
    try:
        probe = Client(port)
        for _ in range(100):
            if probe.get("/api/sites")[0] == 200:
                break
            time.sleep(0.1)
        rss_start = rss_kib(server.pid)
        sites = [f"/sites/{i}" for i in range(1, options.sites + 1)]
        kinds = {
            "ranking page": lambda: "/priorities",
            "site page": lambda: random.choice(sites),
            "survey page": lambda: f"/surveys/{random.choice(batches)}",
            "api summary": lambda: f"/api/surveys/{random.choice(batches)}/summary",
            "api priorities": lambda: "/api/priorities",
        }
        times = {kind: [] for kind in kinds}
        times["survey graph"] = []
        failed = {kind: 0 for kind in times}
        lock = threading.Lock()
        deadline = time.monotonic() + options.duration

        def client():
            me = Client(port)
            while time.monotonic() < deadline:
                kind = random.choice(list(kinds))
                status, body, seconds = me.get(kinds[kind]())
                found = [(kind, status, seconds)]
                if kind == "survey page" and status == 200:
                    for graph in re.findall(rb'<img[^>]+src="(/[^"]+)"', body)[:2]:
                        graph_status, _, graph_seconds = me.get(graph.decode())
                        found.append(("survey graph", graph_status, graph_seconds))
                with lock:
                    for name, got, spent in found:
                        (times[name].append(spent) if got == 200 else None)
                        failed[name] += got != 200

        began = time.perf_counter()
        threads = [threading.Thread(target=client) for _ in range(options.clients)]
        for thread in threads:
            thread.start()
        # Memory once every thread and cache of the server is in use: from
        # then on it must stay flat.
        time.sleep(options.duration / 6)
        rss_warm = rss_kib(server.pid)
        for thread in threads:
            thread.join()
        elapsed = time.perf_counter() - began
        answered = sum(len(spent) for spent in times.values())
        print(f"{options.clients} clients for {elapsed:.0f} s: {answered / elapsed:.1f} answers/s, "
              f"{sum(failed.values())} failed")
        print(f"{'page':16} {'answers':>8} {'failed':>7} {'median ms':>10} {'p99 ms':>8}")
        for kind, spent in times.items():
            if spent:
                spent.sort()
                p99 = spent[min(len(spent) - 1, int(len(spent) * 0.99))]
                print(f"{kind:16} {len(spent):8} {failed[kind]:7} {statistics.median(spent) * 1000:10.1f} "
                      f"{p99 * 1000:8.1f}")
            else:
                print(f"{kind:16} {0:8} {failed[kind]:7}")
        print(f"server memory: {rss_start / 1024:.0f} MiB at the start, {rss_warm / 1024:.0f} MiB after "
              f"{options.duration / 6:.0f} s, {rss_kib(server.pid) / 1024:.0f} MiB at the end")
        for path in (f"/surveys/{large_batch}", f"/api/surveys/{large_batch}/summary",
                     f"/api/surveys/{large_batch}/study"):
            status, body, seconds = Client(port).get(path)
            print(f"{options.large}-vehicle survey {path}: {status}, {len(body)} bytes in {seconds * 1000:.0f} ms")
    finally:
        server.send_signal(signal.SIGTERM)
        server.wait(30)
        if not options.keep:
            shutil.rmtree(folder, ignore_errors=True)


def survey_of_batch(index, sites):
    start, trailer, _ = survey_of(index, sites)
    month, day, year = start.split("/")
    return f"{month}{day}{year[2:]}-{trailer}"


if __name__ == "__main__":
    main()
