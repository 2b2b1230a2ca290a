"""Hostile requests sent for real over sockets: the server refuses them
before any route sees them, stays up, and keeps serving everyone else."""

import shutil
import socket
import threading
import time
import unittest
from urllib.parse import quote

from webtest import BATCHES, Web, file_database

B0 = BATCHES[0]


def get(path):
    return f"GET {path} HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n".encode()


def post(path, headers, body=b""):
    lines = "".join(f"{name}: {value}\r\n" for name, value in headers)
    return f"POST {path} HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n{lines}\r\n".encode() + body


MALFORMED_MULTIPART = b"--XYZ\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\nno closing boundary"

# (what is sent, the status that must come back)
REFUSED = [
    (get("/static/../../etc/passwd"), 400),
    (get("/static/%2e%2e/%2e%2e/etc/passwd"), 400),
    (get("/static/%2E%2E%2Fetc%2Fpasswd"), 400),
    (get("/static/%252e%252e/etc/passwd"), 400),
    (get("/static/..%5c..%5cwin.ini"), 400),
    (get("/api/surveys/%00/summary"), 400),
    (get("/api/sites/%0d%0aSet-Cookie:%20x=1"), 400),
    (get("/api/sites/%ff%fe"), 400),
    (get("/api/sites?zone=%c0%ae"), 400),
    (get("/api/sites/%zz"), 400),
    (get("/" + "a" * 6000), 414),
    (get("/no-such-page"), 404),
    (get(f"/api/surveys/{B0}-nope/summary"), 404),
    (post("/api/sites", [("Content-Length", "20000")]), 413),
    (post("/anything", [("Content-Length", str(200 << 20))]), 413),
    (post("/anything", [("Transfer-Encoding", "chunked")]), 411),
    (post("/anything", [("Content-Type", "multipart/form-data; boundary=XYZ"),
                        ("Content-Length", str(len(MALFORMED_MULTIPART)))], MALFORMED_MULTIPART), 400),
    (b"GET / HTTP/1.1\r\nHost: x\r\nX-Big: " + b"b" * 70000 + b"\r\n\r\n", 400),
    (b"BREW /pot HTTP/1.1\r\n\r\n", 400),
]

# Each value goes into every parameter of every address below.
NASTY = ["'; DROP TABLE \"Header\"; --", "<script>alert(1)</script>", "\" onmouseover=\"x", "%s%n%x"]
ADDRESSES = [
    "/api/surveys?text={v}&zone={v}&direction={v}",
    "/api/surveys/{v}/summary",
    "/api/surveys/{v}/study?threshold={v}",
    "/api/compare?a={v}&b={v}",
    "/api/sites/{v}",
    "/api/priorities?zone={v}&direction={v}&since={v}",
    "/{v}",
    "/sign-in?next={v}",
]


class Hostile(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = file_database()
        cls.web = Web("--db", cls.folder)

    @classmethod
    def tearDownClass(cls):
        cls.web.close()
        shutil.rmtree(cls.folder, ignore_errors=True)

    def assertStillServing(self):
        status, _, _ = self.web.get(f"/api/surveys/{B0}/summary")
        self.assertEqual(status, 200)

    def test_refused_before_routing(self):
        for sent, expected in REFUSED:
            with self.subTest(sent=sent[:60]):
                self.assertEqual(self.web.raw(sent), expected)
        self.assertStillServing()

    def test_nasty_values_are_refused_or_harmless(self):
        for address in ADDRESSES:
            for value in NASTY:
                path = address.format(v=quote(value, safe=""))
                with self.subTest(path=path):
                    status, headers, body = self.web.get(path)
                    self.assertIn(status, (200, 303, 400, 401, 404), body)
                    if headers["content-type"][0].startswith("text/html") and set(value) & set('<"'):
                        self.assertNotIn(value.encode(), body)
        self.assertStillServing()
        self.assertEqual(len(self.web.get("/api/sites")[2].split(b'"site"')) - 1, 2)

    def test_silent_connection_is_dropped_while_others_are_served(self):
        silent = socket.create_connection(("127.0.0.1", self.web.port))
        silent.settimeout(30)
        started = time.monotonic()
        for _ in range(10):
            self.assertStillServing()
        self.assertLess(time.monotonic() - started, 1.5)
        self.assertEqual(silent.recv(1), b"")
        self.assertGreater(time.monotonic() - started, 1.5)
        silent.close()

    def test_burst_of_a_thousand_connections(self):
        answers = []
        lock = threading.Lock()

        def client(count):
            sockets = [socket.create_connection(("127.0.0.1", self.web.port), timeout=60) for _ in range(count)]
            for s in sockets:
                s.sendall(get("/api/sites"))
            for s in sockets:
                data = b""
                while chunk := s.recv(65536):
                    data += chunk
                s.close()
                with lock:
                    answers.append(data[:12])

        threads = [threading.Thread(target=client, args=(100,)) for _ in range(10)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join(120)
        self.assertEqual(answers.count(b"HTTP/1.1 200"), 1000)
        self.assertStillServing()


if __name__ == "__main__":
    unittest.main()
