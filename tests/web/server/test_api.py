"""The API answers byte for byte what pelmor-cli prints, on a database file
and on an agency server, and refuses as the headless tool refuses."""

import shutil
import unittest
from urllib.parse import quote

from webtest import BATCHES, OFFICER_PASSWORD, PgCluster, Web, cli, file_database

B0, B1, B2 = BATCHES

# (API address, the headless tool's arguments that print the same bytes)
SAME_AS_CLI = [
    (f"/api/surveys/{B0}/summary", ["summary", B0, "--json"]),
    (f"/api/surveys/{B0}/study", ["study", B0, "--json"]),
    (f"/api/surveys/{B1}/study?threshold=40", ["study", B1, "--json", "--threshold", "40"]),
    (f"/api/compare?a={B0}&b={B1}", ["compare", B0, B1, "--json"]),
    ("/api/sites", ["sites", "--json"]),
    (f"/api/sites/{quote('Oak Avenue')}", ["site", "Oak Avenue", "--json"]),
    ("/api/priorities", ["priorities", "--json"]),
    ("/api/priorities?zone=School&direction=North", ["priorities", "--zone", "School", "--direction", "North",
                                                     "--json"]),
    (f"/api/priorities?since={quote('04/01/2026', safe='')}", ["priorities", "--since", "04/01/2026", "--json"]),
    ("/api/priorities.csv", ["priorities", "--csv"]),
    (f"/api/surveys/{B2}/vehicles.csv", ["export", "vehicles", B2]),
    ("/api/surveys", ["surveys", "--json"]),
    ("/api/surveys?text=elm&direction=North&since=04%2F01%2F2026", ["surveys", "--text", "elm", "--direction",
                                                                    "North", "--since", "04/01/2026", "--json"]),
]

# (API address, status): the refusals, each with its message as text.
REFUSED = [
    ("/api/surveys/NOPE-Z/summary", 404),
    (f"/api/surveys/{B0}/study?threshold=fast", 400),
    (f"/api/surveys/{B0}/study?threshold=0", 400),
    (f"/api/compare?a={B0}", 400),
    (f"/api/compare?a={B0}&b=NOPE-Z", 404),
    ("/api/priorities?since=13/45/2026", 400),
    ("/api/surveys?until=yesterday", 400),
    ("/api/sites/999", 404),
    ("/api/surveys/NOPE-Z/vehicles.csv", 404),
]


class ApiParity:
    web = None
    cookie = None
    database = None

    def test_same_bytes_as_the_headless_tool(self):
        for address, arguments in SAME_AS_CLI:
            with self.subTest(address=address):
                status, headers, body = self.web.get(address, cookie=self.cookie)
                self.assertEqual(status, 200, body)
                self.assertEqual(body, cli(self.database, *arguments).stdout)
                kind = "text/csv" if address.endswith(".csv") else "application/json"
                self.assertTrue(headers["content-type"][0].startswith(kind))

    def test_refusals(self):
        for address, expected in REFUSED:
            with self.subTest(address=address):
                status, headers, body = self.web.get(address, cookie=self.cookie)
                self.assertEqual(status, expected, body)
                self.assertTrue(headers["content-type"][0].startswith("text/plain"))
                self.assertGreater(len(body.strip()), 10)

    def test_geojson_has_its_media_type(self):
        status, headers, body = self.web.get("/api/sites.geojson", cookie=self.cookie)
        self.assertEqual((status, headers["content-type"][0]), (200, "application/geo+json"))
        self.assertIn(b"FeatureCollection", body)


class OnFile(ApiParity, unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = file_database()
        cls.database = ["--db", cls.folder]
        cls.web = Web("--db", cls.folder)

    @classmethod
    def tearDownClass(cls):
        cls.web.close()
        shutil.rmtree(cls.folder, ignore_errors=True)


class OnServer(ApiParity, unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.pg = PgCluster()
        cls.pg.agency_database()
        cls.database = ["--server", cls.pg.url()]
        cls.web = Web("--server", f"host=127.0.0.1 port={cls.pg.port} dbname=traffic")
        cls.cookie, _ = cls.web.sign_in("officer1", OFFICER_PASSWORD)

    @classmethod
    def tearDownClass(cls):
        cls.web.close()
        cls.pg.close()


if __name__ == "__main__":
    unittest.main()
