#!/usr/bin/python3
"""pelmor-web under load: a database of many surveys at many sites, clients
asking for the ranking, site histories, survey pages with their graphs and
the API at once for a while; then the page of one very large survey.
Prints requests per second, the median and 99th percentile per kind of
page, failed requests, and the server's memory at the start and the end.

bench_web.py [--surveys 500] [--vehicles 20000] [--sites 200] [--clients 50]
             [--duration 60] [--large 1000000] [--keep DIR | --agency-server]
With --agency-server the surveys are stored on a PostgreSQL server of its
own (started as the tests start theirs) and every client signs in as an
officer, so that each request is read under that login.
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
import sys
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


def agency_server():
    """A PostgreSQL server of its own with the database `traffic` set up
    for the program and the login officer1 (password OFFICER)."""
    os.environ.update(PELMOR_WEB=WEB, PELMOR_CLI=CLI, PELMOR_LOGGEN=LOGGEN)
    sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "web", "server"))
    from webtest import PgCluster
    cluster = PgCluster()
    cluster.psql("CREATE DATABASE traffic", "postgres")
    run(CLI, "--server", cluster.url(), "server", "init")
    cluster.psql("CREATE ROLE officer1 LOGIN PASSWORD 'OFFICER' IN ROLE pelmor_officer")
    return cluster


def sign_in(port):
    """The session cookie of officer1."""
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=60)
    connection.request("POST", "/sign-in", body="login=officer1&password=OFFICER&next=%2F",
                       headers={"Content-Type": "application/x-www-form-urlencoded"})
    reply = connection.getresponse()
    reply.read()
    connection.close()
    return reply.getheader("Set-Cookie").split(";")[0]


def import_one(database, folder, index, vehicles, sites):
    start, trailer, location = survey_of(index, sites)
    log = os.path.join(folder, f"log{index}.rsx")
    run(LOGGEN, "--rsx", "--start-date", start, "--days", "2", "--vehicles", str(vehicles), "--seed",
        str(index + 1), "-o", log)
    run(CLI, *database, "import", log, "--trailer", trailer, "--location", location, "--direction",
        "North", "--zone", "Residential", "--unit", "MPH")
    os.remove(log)
    month, day, year = start.split("/")
    return f"{month}{day}{year[2:]}-{trailer}"


def rss_kib(pid):
    """(resident KiB, of which the heap and stacks): the rest is the database
    file's pages, mapped while a connection reads them."""
    with open(f"/proc/{pid}/status") as status:
        text = status.read()
    return tuple(int(re.search(rf"{field}:\s+(\d+)", text).group(1)) for field in ("VmRSS", "RssAnon"))


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Client:
    def __init__(self, port, cookie=None):
        self.port = port
        self.connection = None
        self.headers = {"Cookie": cookie} if cookie else {}

    def get(self, path):
        """(status, body, seconds); a broken connection is made anew."""
        started = time.perf_counter()
        for attempt in range(2):
            try:
                if self.connection is None:
                    self.connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=60)
                self.connection.request("GET", path, headers=self.headers)
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
    parser.add_argument("--agency-server", action="store_true",
                        help="store the surveys on a PostgreSQL server of its own; clients sign in as an officer")
    options = parser.parse_args()

    folder = options.keep or tempfile.mkdtemp(prefix="bench-web-")
    os.makedirs(folder, exist_ok=True)
    started = time.perf_counter()
    cluster = None
    database = ["--db", folder]
    if options.agency_server:
        cluster = agency_server()
        database = ["--server", cluster.url()]
    elif not os.path.exists(os.path.join(folder, "pelmor.mdb")):
        run(CLI, "--db", folder, "init")
    stored = set(subprocess.run([CLI, *database, "surveys"], capture_output=True, text=True).stdout.split())
    wanted = list(range(options.surveys))
    with ThreadPoolExecutor(2) as pool:
        batches = list(pool.map(lambda i: survey_of_batch(i, options.sites) if survey_of_batch(i, options.sites)
                                in stored else import_one(database, folder, i, options.vehicles, options.sites),
                                wanted))
    large_batch = "010199-Z"
    if large_batch not in stored:
        log = os.path.join(folder, "large.rsx")
        run(LOGGEN, "--rsx", "--start-date", "01/01/2099", "--days", "7", "--vehicles",
            str(options.large), "-o", log)
        run(CLI, *database, "import", log, "--trailer", "Z", "--batch", large_batch, "--location",
            "Large Street", "--direction", "North", "--zone", "Residential", "--unit", "MPH")
        os.remove(log)
    print(f"database: {options.surveys} surveys of {options.vehicles} vehicles at {options.sites} sites and one "
          f"of {options.large}, ready in {time.perf_counter() - started:.0f} s")

    port = free_port()
    server = subprocess.Popen([WEB, *database, "--listen", f"127.0.0.1:{port}"], stderr=subprocess.DEVNULL,
                              env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
    try:
        for _ in range(100):
            try:
                socket.create_connection(("127.0.0.1", port), timeout=1).close()
                break
            except OSError:
                time.sleep(0.1)
        # Each client signs in on its own, as the people of an agency do.
        cookie_of = (lambda: sign_in(port)) if cluster else (lambda: None)
        probe = Client(port, cookie_of())
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
            me = Client(port, cookie_of())
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
        rss_end = rss_kib(server.pid)
        print("server memory, resident (heap and stacks): " +
              ", ".join(f"{rss / 1024:.0f} ({anon / 1024:.0f}) MiB {when}" for (rss, anon), when in
                        ((rss_start, "at the start"), (rss_warm, f"after {options.duration / 6:.0f} s"),
                         (rss_end, "at the end"))))
        # The large survey's page as a browser shows it: the page, then its
        # graphs at once, each over a connection of its own.
        cookie = cookie_of()
        started = time.perf_counter()
        status, body, seconds = Client(port, cookie).get(f"/surveys/{large_batch}")
        graphs = [graph.decode() for graph in re.findall(rb'<img[^>]+src="(/[^"]+)"', body)]
        with ThreadPoolExecutor(len(graphs) or 1) as pool:
            answers = list(pool.map(lambda graph: Client(port, cookie).get(graph), graphs))
        print(f"{options.large}-vehicle survey page: {status} in {seconds * 1000:.0f} ms; with its "
              f"{len(graphs)} graphs ({', '.join(str(answer[0]) for answer in answers)}) in "
              f"{(time.perf_counter() - started) * 1000:.0f} ms")
        for path in (f"/api/surveys/{large_batch}/summary", f"/api/surveys/{large_batch}/study"):
            status, body, seconds = Client(port, cookie_of()).get(path)
            print(f"{options.large}-vehicle survey {path}: {status}, {len(body)} bytes in {seconds * 1000:.0f} ms")
    finally:
        server.send_signal(signal.SIGTERM)
        server.wait(30)
        if cluster:
            cluster.close()
        if not options.keep:
            shutil.rmtree(folder, ignore_errors=True)


def survey_of_batch(index, sites):
    start, trailer, _ = survey_of(index, sites)
    month, day, year = start.split("/")
    return f"{month}{day}{year[2:]}-{trailer}"


if __name__ == "__main__":
    main()
