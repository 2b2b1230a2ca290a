"""What the web server's tests share: the programs under test, a throwaway
PostgreSQL cluster with password logins, a database folder with surveys, a
running pelmor-web, and requests sent over real sockets."""

import http.client
import os
import pwd
import re
import shutil
import signal
import socket
import ssl
import subprocess
import tempfile
import threading
import time

WEB = os.environ["PELMOR_WEB"]
CLI = os.environ["PELMOR_CLI"]
LOGGEN = os.environ["PELMOR_LOGGEN"]
PG_BIN = "/usr/lib/postgresql/15/bin"

# The surveys every test database holds: (start date, trailer, location,
# direction, zone, seed).
SURVEYS = [
    ("03/05/2026", "A", "Elm Street", "North", "School", 1),
    ("04/09/2026", "A", "Elm Street", "North", "School", 2),
    ("03/06/2026", "B", "Oak Avenue", "South", "Residential", 3),
]
OFFICER_PASSWORD = "Off'icer pass 1"
ADMIN_PASSWORD = "adm1n-s3cret"


def batch(start, trailer):
    month, day, year = start.split("/")
    return f"{month}{day}{year[2:]}-{trailer}"


BATCHES = [batch(s[0], s[1]) for s in SURVEYS]


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def run(args, env=None, check=True):
    result = subprocess.run(args, capture_output=True, env=env, timeout=120)
    if check and result.returncode != 0:
        raise AssertionError(f"{args} failed: {result.stderr.decode(errors='replace')}")
    return result


def cli(database, *args, check=True):
    """pelmor-cli on `database`: ["--db", DIR] or ["--server", URL]."""
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    env.pop("PELMOR_SERVER", None)
    return run([CLI, *database, *args], env=env, check=check)


def import_surveys(database, folder):
    for start, trailer, location, direction, zone, seed in SURVEYS:
        log = os.path.join(folder, f"{seed}.rsx")
        run([LOGGEN, "--rsx", "--start-date", start, "--vehicles", "400", "--seed", str(seed), "-o", log])
        cli(database, "import", log, "--trailer", trailer, "--location", location, "--direction", direction,
            "--zone", zone, "--unit", "MPH")


class PgCluster:
    """A PostgreSQL cluster in a temporary folder on a free port of
    127.0.0.1: the superuser by trust, every other login by password."""

    def __init__(self):
        self.folder = tempfile.mkdtemp(prefix="pelmor-web-pg-")
        self.data = os.path.join(self.folder, "data")
        self.port = free_port()
        self.as_root = os.geteuid() == 0
        if self.as_root:
            postgres = pwd.getpwnam("postgres")
            os.chown(self.folder, postgres.pw_uid, postgres.pw_gid)
        self._server_program("initdb", "-D", self.data, "-U", "postgres", "-A", "trust", "-E", "UTF8",
                             "--locale=C", "--no-sync")
        with open(os.path.join(self.data, "pg_hba.conf"), "w") as rules:
            rules.write("host all postgres 127.0.0.1/32 trust\n"
                        "host all all 127.0.0.1/32 scram-sha-256\n")
        self.start()

    def _server_program(self, name, *args):
        command = [os.path.join(PG_BIN, name), *args]
        if self.as_root:
            command = ["runuser", "-u", "postgres", "--"] + command
        run(command)

    def start(self):
        self._server_program("pg_ctl", "-D", self.data, "-l", os.path.join(self.folder, "log"), "-o",
                             f"-p {self.port} -k {self.folder} -c listen_addresses=127.0.0.1 "
                             "-c fsync=off -c max_connections=100", "-w", "start")

    def stop(self):
        self._server_program("pg_ctl", "-D", self.data, "-m", "immediate", "-w", "stop")

    def url(self, database="traffic", user="postgres", password=None):
        secret = f":{password}" if password else ""
        return f"postgresql://{user}{secret}@127.0.0.1:{self.port}/{database}"

    def psql(self, sql, database="traffic"):
        run([os.path.join(PG_BIN, "psql"), "-X", "-q", "-v", "ON_ERROR_STOP=1", "-d",
             self.url(database), "-c", sql])

    def agency_database(self):
        """The database `traffic` set up for the program, with an officer
        and an administrator, holding the test surveys."""
        self.psql("CREATE DATABASE traffic", "postgres")
        cli(["--server", self.url()], "server", "init")
        officer = OFFICER_PASSWORD.replace("'", "''")
        self.psql(f"CREATE ROLE officer1 LOGIN PASSWORD '{officer}' IN ROLE pelmor_officer; "
                  f"CREATE ROLE admin1 LOGIN PASSWORD '{ADMIN_PASSWORD}' IN ROLE pelmor_admin; "
                  "CREATE ROLE viewer LOGIN PASSWORD 'view-pw' IN ROLE pelmor_officer")
        import_surveys(["--server", self.url()], self.folder)

    def close(self):
        try:
            self.stop()
        except AssertionError:
            pass
        shutil.rmtree(self.folder, ignore_errors=True)


class Web:
    """pelmor-web started with `args` on a free port, its standard error
    kept; stopped by close()."""

    def __init__(self, *args, tls=False):
        self.port = free_port()
        self.tls = tls
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
        env.pop("PELMOR_SERVER", None)
        self.process = subprocess.Popen([WEB, *args, "--listen", f"127.0.0.1:{self.port}"],
                                        stderr=subprocess.PIPE, env=env)
        self.lines = []
        ready = threading.Event()

        def read():
            for line in self.process.stderr:
                self.lines.append(line.decode(errors="replace"))
                if "serves" in self.lines[-1]:
                    ready.set()
            ready.set()

        self.reader = threading.Thread(target=read, daemon=True)
        self.reader.start()
        if not ready.wait(30) or self.process.poll() is not None:
            raise AssertionError("pelmor-web did not start: " + "".join(self.lines))

    def log(self):
        return "".join(self.lines)

    def connection(self, timeout=30):
        if self.tls:
            context = ssl.create_default_context()
            context.check_hostname = False
            context.verify_mode = ssl.CERT_NONE
            return http.client.HTTPSConnection("127.0.0.1", self.port, timeout=timeout, context=context)
        return http.client.HTTPConnection("127.0.0.1", self.port, timeout=timeout)

    def request(self, method, path, body=None, headers=None, cookie=None):
        """(status, headers as a dict of lists, body bytes)."""
        headers = dict(headers or {})
        if cookie:
            headers["Cookie"] = cookie
        connection = self.connection()
        try:
            connection.request(method, path, body=body, headers=headers)
            reply = connection.getresponse()
            found = {}
            for name, value in reply.getheaders():
                found.setdefault(name.lower(), []).append(value)
            return reply.status, found, reply.read()
        finally:
            connection.close()

    def get(self, path, cookie=None):
        return self.request("GET", path, cookie=cookie)

    def post_form(self, path, fields, cookie=None):
        from urllib.parse import urlencode
        return self.request("POST", path, body=urlencode(fields),
                            headers={"Content-Type": "application/x-www-form-urlencoded"}, cookie=cookie)

    def raw(self, data, timeout=15):
        """The status line's code of the answer to the bytes `data`, or
        None when the server closed without one."""
        with socket.create_connection(("127.0.0.1", self.port), timeout=timeout) as s:
            s.sendall(data)
            answer = b""
            try:
                while b"\r\n" not in answer:
                    chunk = s.recv(4096)
                    if not chunk:
                        break
                    answer += chunk
            except ConnectionResetError:
                pass
        match = re.match(rb"HTTP/1\.[01] (\d{3})", answer)
        return int(match.group(1)) if match else None

    def sign_in(self, login, password):
        """The session cookie of `login` and the form token of its pages."""
        status, headers, _ = self.post_form("/sign-in", {"login": login, "password": password, "next": "/"})
        if status != 303:
            raise AssertionError(f"signing in as {login} answered {status}")
        cookie = headers["set-cookie"][0].split(";")[0]
        return cookie, self.form_token(cookie)

    def form_token(self, cookie=None):
        """The token the form that sends a download carries."""
        _, _, page = self.get("/surveys/new", cookie=cookie)
        field = re.search(rb'<input[^>]*name=["\']token["\'][^>]*>', page)
        value = re.search(rb'value=["\']([0-9a-f]+)["\']', field.group(0)) if field else None
        return value.group(1).decode() if value else None

    def close(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(20)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.reader.join(5)


def file_database():
    """A database folder holding the test surveys."""
    folder = tempfile.mkdtemp(prefix="pelmor-web-db-")
    cli(["--db", folder], "init")
    import_surveys(["--db", folder], folder)
    return folder
