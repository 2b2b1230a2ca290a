"""Signing in on an agency server, the form token, who may delete, what
--public shows, HTTPS, and a database server that stops: told without a
password, in pages or in the server's log."""

import http.client
import os
import re
import shutil
import ssl
import subprocess
import tempfile
import time
import unittest

from webtest import (ADMIN_PASSWORD, BATCHES, LOGGEN, OFFICER_PASSWORD, PgCluster, Web, file_database, free_port,
                     run)

B0 = BATCHES[0]
PUBLIC_PASSWORD = "view-pw"
OFFICER_NAME = "Krupke"
PASSWORDS = [OFFICER_PASSWORD, ADMIN_PASSWORD, PUBLIC_PASSWORD, "wrong-Pa55"]


class OnServer(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.pg = PgCluster()
        cls.pg.agency_database()
        # Who set the sign up is stored with the survey; the public never sees it.
        cls.pg.psql(f"SET session_replication_role = replica; UPDATE \"Header\" SET \"Field_Setup\" = "
                    f"'Officer {OFFICER_NAME}'")
        server = f"host=127.0.0.1 port={cls.pg.port} dbname=traffic"
        cls.web = Web("--server", server)
        cls.public = Web("--public", "--server", cls.pg.url(user="viewer", password=PUBLIC_PASSWORD))

    @classmethod
    def tearDownClass(cls):
        cls.web.close()
        cls.public.close()
        cls.pg.close()

    def test_sign_in(self):
        # (login, password, status of the answer)
        for login, password, expected in [
            ("officer1", "wrong-Pa55", 401),
            ("nobody", "wrong-Pa55", 401),
            ("officer1", "", 400),
            ("", OFFICER_PASSWORD, 400),
            ("officer1", OFFICER_PASSWORD, 303),
        ]:
            with self.subTest(login=login, password=password):
                status, headers, body = self.web.post_form("/sign-in", {"login": login, "password": password,
                                                                        "next": "/api/sites"})
                self.assertEqual(status, expected, body)
                if expected == 303:
                    cookie = headers["set-cookie"][0]
                    self.assertRegex(cookie, r"^pelmor_session=[0-9a-f]{64}; Path=/; HttpOnly; SameSite=Strict$")
                    self.assertEqual(headers["location"], ["/api/sites"])
                else:
                    self.assertNotIn("set-cookie", headers)

    def test_not_signed_in(self):
        # (address, status, where it sends the browser)
        for address, expected, location in [
            ("/", 303, "/sign-in?next=%2F"),
            (f"/surveys/{B0}?x=1", 303, f"/sign-in?next=%2Fsurveys%2F{B0}%3Fx%3D1"),
            ("/api/sites", 401, None),
            (f"/api/surveys/{B0}/vehicles.csv", 401, None),
            ("/sign-in", 200, None),
        ]:
            with self.subTest(address=address):
                status, headers, _ = self.web.get(address)
                self.assertEqual(status, expected)
                self.assertEqual(headers.get("location", [None])[0], location)
        stale = "pelmor_session=" + "0" * 64
        self.assertEqual(self.web.get("/api/sites", cookie=stale)[0], 401)

    def test_forms_need_the_token_and_the_right(self):
        officer, officer_token = self.web.sign_in("officer1", OFFICER_PASSWORD)
        self.assertRegex(officer_token or "", "^[0-9a-f]{64}$")
        admin, admin_token = self.web.sign_in("admin1", ADMIN_PASSWORD)
        delete = f"/surveys/{B0}/delete"
        # (session cookie, form fields, status, text of the refusal)
        for cookie, fields, expected, why in [
            (officer, {"confirm": "yes"}, 403, b"token"),
            (officer, {"confirm": "yes", "token": admin_token}, 403, b"token"),
            (officer, {"confirm": "yes", "token": officer_token}, 403, b"may not delete"),
            (admin, {"confirm": "yes", "token": "f" * 64}, 403, b"token"),
            (None, {"confirm": "yes", "token": officer_token}, 401, b"sign in"),
        ]:
            with self.subTest(fields=fields, signed=cookie is not None):
                status, _, body = self.web.post_form(delete, fields, cookie=cookie)
                self.assertEqual(status, expected, body)
                self.assertIn(why, body)
        self.assertEqual(self.web.get(f"/api/surveys/{B0}/summary", cookie=admin)[0], 200)
        # Signing out is a form too: refused without the token, then done.
        self.assertEqual(self.web.post_form("/sign-out", {}, cookie=officer)[0], 403)
        self.assertEqual(self.web.post_form("/sign-out", {"token": officer_token}, cookie=officer)[0], 303)
        self.assertEqual(self.web.get("/api/sites", cookie=officer)[0], 401)
        self.assertEqual(self.web.get("/api/sites", cookie=admin)[0], 200)

    def test_public_view(self):
        # (address, status): the sites and the ranking, never the surveys.
        for address, expected in [
            ("/sites", 200),
            ("/sites/1", 200),
            ("/priorities", 200),
            ("/surveys", 303),
            (f"/surveys/{B0}", 303),
            ("/api/sites", 200),
            ("/api/sites/1", 200),
            ("/api/sites.geojson", 200),
            ("/api/priorities", 200),
            ("/api/priorities.csv", 200),
            ("/api/surveys", 401),
            (f"/api/surveys/{B0}/summary", 401),
            (f"/api/surveys/{B0}/vehicles.csv", 401),
            (f"/api/compare?a={B0}&b={BATCHES[1]}", 401),
        ]:
            with self.subTest(address=address):
                status, _, body = self.public.get(address)
                self.assertEqual(status, expected, body)
                self.assertNotIn(OFFICER_NAME.encode(), body)

    def test_zz_database_server_stopped(self):
        cookie, _ = self.web.sign_in("officer1", OFFICER_PASSWORD)
        self.pg.stop()
        # The sites read in the last 5 s are still shown; then the failure.
        time.sleep(5.2)
        try:
            for web, session in [(self.web, cookie), (self.public, None)]:
                status, _, body = web.get("/api/sites", cookie=session)
                self.assertEqual(status, 503, body)
                self.assertIn(b"127.0.0.1", body)
                for password in PASSWORDS:
                    self.assertNotIn(password.encode(), body)
            self.assertEqual(self.web.get("/api/sites")[0], 401)
        finally:
            self.pg.start()
        self.assertEqual(self.web.get("/api/sites", cookie=cookie)[0], 200)
        log = self.web.log() + self.public.log()
        self.assertRegex(log, r"GET /api/sites 503 \d+ ms")
        for password in PASSWORDS:
            self.assertNotIn(password, log)


class OnFile(unittest.TestCase):
    def test_forms_need_the_token_and_the_cookie(self):
        folder = file_database()
        web = Web("--db", folder)
        try:
            status, headers, _ = web.get("/surveys/new")
            cookie = headers["set-cookie"][0].split(";")[0]
            token = web.form_token()
            delete = f"/surveys/{B0}/delete"
            # (cookie sent, form fields, status): a page of another site has
            # neither the token nor, being another site, the cookie.
            for sent, fields, expected in [
                (None, {"confirm": "yes", "token": token}, 403),
                (cookie, {"confirm": "yes"}, 403),
                ("pelmor_session=" + "0" * 64, {"confirm": "yes", "token": token}, 403),
                (cookie, {"confirm": "yes", "token": token}, 303),
            ]:
                with self.subTest(cookie=sent, fields=fields):
                    self.assertEqual(web.post_form(delete, fields, cookie=sent)[0], expected)
                    self.assertEqual(web.get(f"/api/surveys/{B0}/summary")[0], 404 if expected == 303 else 200)
        finally:
            web.close()
            shutil.rmtree(folder, ignore_errors=True)


class StartUp(unittest.TestCase):
    def test_options(self):
        folder = file_database()
        try:
            # (options, exit code, what the refusal names)
            for options, code, named in [
                (["--tiles", "ftp://tiles.example.org/{z}/{x}/{y}.png"], 2, "--tiles"),
                (["--tiles", "https://tiles.example.org/tile.png"], 2, "{z}"),
                (["--tls-cert", "cert.pem"], 2, "--tls-key"),
                (["--listen", "127.0.0.1"], 2, "ADDRESS:PORT"),
                (["--listen", "127.0.0.1:70000"], 2, "ADDRESS:PORT"),
                (["--public"], 2, "--server"),
                (["--server", "host=127.0.0.1"], 2, "not both"),
                (["--tls-cert", "/nonexistent.pem", "--tls-key", "/nonexistent.key"], 1, "/nonexistent.pem"),
            ]:
                with self.subTest(options=options):
                    refused = subprocess.run([os.environ["PELMOR_WEB"], "--db", folder, *options],
                                             capture_output=True, timeout=30)
                    self.assertEqual(refused.returncode, code, refused.stderr)
                    self.assertIn(named.encode(), refused.stderr)
            # The tile address given reaches the map's page and is the one
            # other host its images may come from.
            run([os.environ["PELMOR_CLI"], "--db", folder, "site-change", "place", "1", "42.36", "-71.06"])
            web = Web("--db", folder, "--tiles", "https://tiles.example.org/{z}/{x}/{y}.png")
            try:
                status, headers, body = web.get("/sites")
                self.assertEqual(status, 200)
                self.assertIn(b"https://tiles.example.org/{z}/{x}/{y}.png", body)
                self.assertIn("img-src 'self' data: https://tiles.example.org;",
                              headers["content-security-policy"][0])
            finally:
                web.close()
        finally:
            shutil.rmtree(folder, ignore_errors=True)


class OverTls(unittest.TestCase):
    def test_https(self):
        folder = file_database()
        keys = tempfile.mkdtemp()
        try:
            cert, key = os.path.join(keys, "cert.pem"), os.path.join(keys, "key.pem")
            run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
                 "-days", "1", "-subj", "/CN=localhost"])
            web = Web("--db", folder, "--tls-cert", cert, "--tls-key", key, tls=True)
            try:
                status, headers, body = web.get(f"/api/surveys/{B0}/summary")
                self.assertEqual(status, 200, body)
                self.assertRegex(headers["set-cookie"][0], r"HttpOnly; SameSite=Strict; Secure$")
                self.assertIsNone(web.raw(b"GET / HTTP/1.1\r\nHost: x\r\n\r\n"))
            finally:
                web.close()
            # A key that is no key: told at the start, naming the files.
            refused = subprocess.run([os.environ["PELMOR_WEB"], "--db", folder, "--tls-cert", cert, "--tls-key",
                                      cert, "--listen", "127.0.0.1:1"], capture_output=True, timeout=30)
            self.assertEqual(refused.returncode, 1)
            self.assertIn(cert.encode(), refused.stderr)
        finally:
            shutil.rmtree(folder, ignore_errors=True)
            shutil.rmtree(keys, ignore_errors=True)

    def test_behind_the_documented_proxy(self):
        """The README's nginx setup as it stands (its port, certificate and
        the address of pelmor-web aside) passes pages and a download of more
        than nginx's default body limit."""
        folder, keys = file_database(), tempfile.mkdtemp()
        readme = open(os.path.join(os.path.dirname(__file__), "..", "..", "..", "README.md")).read()
        block = re.search(r"\n(    server \{\n.*?\n    \})\n", readme, re.S).group(1)
        web = Web("--db", folder)
        port = free_port()
        cert, key = os.path.join(keys, "cert.pem"), os.path.join(keys, "key.pem")
        run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
             "-days", "1", "-subj", "/CN=localhost"])
        block = re.sub(r"listen 443 ssl;", f"listen 127.0.0.1:{port} ssl;", block)
        block = re.sub(r"ssl_certificate +\S+;", f"ssl_certificate {cert};", block)
        block = re.sub(r"ssl_certificate_key +\S+;", f"ssl_certificate_key {key};", block)
        block = block.replace("http://127.0.0.1:8080", f"http://127.0.0.1:{web.port}")
        temp = " ".join(f"{kind}_temp_path {keys}/{kind};" for kind in ("client_body", "proxy", "fastcgi",
                                                                           "uwsgi", "scgi"))
        with open(os.path.join(keys, "nginx.conf"), "w") as conf:
            conf.write(("user root;\n" if os.geteuid() == 0 else "") +
                       f"pid {keys}/nginx.pid;\nerror_log {keys}/error.log;\nevents {{}}\n"
                       f"http {{ access_log off; {temp}\n{block}\n}}\n")
        nginx = subprocess.Popen(["/usr/sbin/nginx", "-p", keys, "-c", os.path.join(keys, "nginx.conf"),
                                  "-g", "daemon off;"], stderr=subprocess.PIPE)
        try:
            context = ssl.create_default_context()
            context.check_hostname, context.verify_mode = False, ssl.CERT_NONE

            def through(method, path, body=None, headers=None):
                for _ in range(50):
                    try:
                        connection = http.client.HTTPSConnection("127.0.0.1", port, timeout=60,
                                                                 context=context)
                        connection.request(method, path, body=body, headers=headers or {})
                        reply = connection.getresponse()
                        content = reply.read()
                        connection.close()
                        return reply.status, reply, content
                    except ConnectionRefusedError:
                        time.sleep(0.1)
                raise AssertionError(nginx.stderr.read().decode())

            status, reply, page = through("GET", "/surveys/new")
            self.assertEqual(status, 200, page)
            cookie = reply.getheader("Set-Cookie").split(";")[0]
            token = re.search(rb'name="token" value="([0-9a-f]+)"', page).group(1).decode()
            log = os.path.join(keys, "big.rsx")
            run([LOGGEN, "--rsx", "--start-date", "06/01/2026", "--vehicles", "200000", "--seed", "5", "-o",
                 log])
            boundary = "pelmorBoundary"
            fields = {"token": token, "location": "Proxy Road", "direction": "North", "zone": "School"}
            body = b"".join(f'--{boundary}\r\nContent-Disposition: form-data; name="{name}"\r\n\r\n{value}\r\n'
                            .encode() for name, value in fields.items())
            body += (f'--{boundary}\r\nContent-Disposition: form-data; name="file"; filename="big.rsx"\r\n'
                     "Content-Type: application/octet-stream\r\n\r\n").encode()
            body += open(log, "rb").read() + f"\r\n--{boundary}--\r\n".encode()
            self.assertGreater(len(body), 1 << 20, "more than nginx takes without the README's limit")
            status, reply, page = through("POST", "/surveys/new", body, {
                "Content-Type": f"multipart/form-data; boundary={boundary}", "Cookie": cookie})
            self.assertEqual(status, 303, page)
            self.assertEqual(reply.getheader("Location"), "/surveys/060126-A")
            self.assertEqual(through("GET", "/surveys/060126-A", headers={"Cookie": cookie})[0], 200)
        finally:
            nginx.terminate()
            nginx.wait(20)
            web.close()
            shutil.rmtree(folder, ignore_errors=True)
            shutil.rmtree(keys, ignore_errors=True)


if __name__ == "__main__":
    unittest.main()
