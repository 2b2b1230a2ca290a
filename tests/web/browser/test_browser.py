"""The web view in headless Chromium, as a user goes through it: the map,
a site, a survey and its document; the ranking filtered; a download sent
and a survey deleted; on an agency server signed in as an officer and as an
administrator. No page may leave a script error in the console."""

import os
import sys
import tempfile
import unittest
import urllib.request

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "server"))
from webtest import (ADMIN_PASSWORD, BATCHES, LOGGEN, OFFICER_PASSWORD, PgCluster, Web, cli,  # noqa: E402
                     file_database, free_port, run)

from selenium import webdriver  # noqa: E402
from selenium.webdriver.chrome.options import Options  # noqa: E402
from selenium.webdriver.chrome.service import Service  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402
from selenium.webdriver.support import expected_conditions as shown  # noqa: E402
from selenium.webdriver.support.ui import Select, WebDriverWait  # noqa: E402

# Tiles from a port nobody listens on: the map must do without them.
NO_TILES = f"http://127.0.0.1:{free_port()}/{{z}}/{{x}}/{{y}}.png"
SIZES = {"desktop": (1366, 768), "phone": (390, 844)}
# Where the pages are photographed for a look by eye, when set.
PHOTOS = os.environ.get("PELMOR_WEB_PHOTOS")


def browser():
    options = Options()
    options.binary_location = "/usr/bin/chromium"
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage"):
        options.add_argument(argument)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)


def place_sites(database):
    """Coordinates for the sites, so that the map has markers."""
    places = ["42.3601 -71.0589", "42.3611 -71.0570"]
    for site, place in zip(["1", "2"], places):
        cli(database, "site-change", "place", site, *place.split())


class Browsing(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.driver = browser()
        cls.wait = WebDriverWait(cls.driver, 30)

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()

    def setUp(self):
        self.driver.get_log("browser")  # what an earlier test left

    def tearDown(self):
        self.assertNoConsoleErrors()

    def assertNoConsoleErrors(self):
        """A page's own refusal (a 403 page) is answered on purpose and the
        tiles are missing on purpose; anything else is a fault: a script
        error, a missing style sheet or script, a blocked resource."""
        page = self.driver.current_url.split("?")[0]
        errors = [entry["message"] for entry in self.driver.get_log("browser")
                  if entry["level"] == "SEVERE" and NO_TILES.split("/{z}")[0] not in entry["message"]
                  and not entry["message"].startswith(page + " ")]
        self.assertEqual(errors, [], "errors in the console")

    def open(self, web, path):
        self.driver.get(f"http://127.0.0.1:{web.port}{path}")

    def photograph(self, name):
        if not PHOTOS:
            return
        os.makedirs(PHOTOS, exist_ok=True)
        for size, (width, height) in SIZES.items():
            self.driver.set_window_size(width, height)
            self.driver.save_screenshot(os.path.join(PHOTOS, f"{name}-{size}.png"))
        self.driver.set_window_size(*SIZES["desktop"])

    def click_link(self, text):
        self.wait.until(shown.element_to_be_clickable((By.PARTIAL_LINK_TEXT, text))).click()

    def heading(self):
        return self.driver.find_element(By.TAG_NAME, "h1").text


class OnAFile(Browsing):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.folder = file_database()
        place_sites(["--db", cls.folder])
        cls.web = Web("--db", cls.folder, "--tiles", NO_TILES)

    @classmethod
    def tearDownClass(cls):
        cls.web.close()
        super().tearDownClass()

    def test_map_to_site_to_survey_to_document(self):
        self.driver.set_window_size(*SIZES["desktop"])
        self.open(self.web, "/sites")
        markers = self.wait.until(
            lambda d: d.find_elements(By.CSS_SELECTOR, "path.leaflet-interactive") or None)
        self.assertEqual(len(markers), 2, "one marker per placed site, without tiles")
        self.photograph("sites")
        markers[0].click()
        popup_link = self.wait.until(shown.element_to_be_clickable((By.CSS_SELECTOR, ".leaflet-popup a")))
        site_name = popup_link.text
        popup_link.click()
        self.wait.until(shown.title_contains(site_name.split(",")[0]))
        graphs = self.driver.find_elements(By.CSS_SELECTOR, "img[src$='.svg'], svg")
        self.assertGreaterEqual(len(graphs), 2, "the site's two graphs")
        self.photograph("site")
        self.click_link(BATCHES[0])
        self.wait.until(shown.title_contains(BATCHES[0]))
        drawn = self.driver.execute_script(
            "return [...document.images].filter(i => i.src.endsWith('.svg'))"
            ".map(i => i.complete && i.naturalWidth > 0);")
        self.assertTrue(drawn and all(drawn), f"every graph of the survey page drawn: {drawn}")
        self.photograph("survey")
        document = self.driver.find_element(By.CSS_SELECTOR, "a[href$='.pdf']").get_attribute("href")
        with urllib.request.urlopen(document, timeout=60) as reply:
            self.assertEqual(reply.headers.get_content_type(), "application/pdf")
            self.assertTrue(reply.read(5) == b"%PDF-")

    def test_priorities_filtered(self):
        self.open(self.web, "/priorities")
        rows = len(self.driver.find_elements(By.CSS_SELECTOR, "table tbody tr"))
        self.assertEqual(rows, 2)
        self.photograph("priorities")
        zone = self.driver.find_element(By.NAME, "zone")
        if zone.tag_name == "select":
            Select(zone).select_by_visible_text("School")
        else:
            zone.send_keys("School")
        zone.submit()
        self.wait.until(shown.url_contains("zone=School"))
        names = [row.text for row in self.driver.find_elements(By.CSS_SELECTOR, "table tbody tr")]
        self.assertEqual(len(names), 1)
        self.assertIn("Elm Street", names[0])

    def test_send_a_download_then_delete_it(self):
        log = os.path.join(self.folder, "sent.rsx")
        run([LOGGEN, "--rsx", "--start-date", "05/11/2026", "--vehicles", "300", "--seed", "9", "-o", log])
        self.open(self.web, "/surveys/new")
        self.driver.find_element(By.NAME, "file").send_keys(log)
        self.driver.find_element(By.NAME, "location").send_keys("Birch <Lane>")
        Select(self.driver.find_element(By.NAME, "direction")).select_by_visible_text("East")
        Select(self.driver.find_element(By.NAME, "zone")).select_by_visible_text("Residential")
        self.photograph("send")
        self.driver.find_element(By.CSS_SELECTOR, "form[enctype] button[type=submit]").click()
        self.wait.until(shown.title_contains("051126-A"))
        self.assertIn("Birch <Lane>", self.driver.find_element(By.TAG_NAME, "body").text)
        self.click_link("Delete")
        self.wait.until(shown.url_contains("/delete"))
        focused = self.driver.switch_to.active_element
        self.assertEqual(focused.text, "No", "No is the default answer")
        self.photograph("delete")
        self.driver.find_element(By.CSS_SELECTOR, "button[value=yes]").click()
        self.wait.until(shown.url_contains("deleted="))
        self.assertEqual(cli(["--db", self.folder], "summary", "051126-A", check=False).returncode, 1)


class OnAServer(Browsing):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.cluster = PgCluster()
        cls.cluster.agency_database()
        cls.web = Web("--server", cls.cluster.url(), "--tiles", NO_TILES)

    @classmethod
    def tearDownClass(cls):
        cls.web.close()
        cls.cluster.close()
        super().tearDownClass()

    def sign_in(self, login, password):
        self.driver.delete_all_cookies()
        self.open(self.web, f"/surveys/{BATCHES[2]}/delete")
        self.wait.until(shown.url_contains("/sign-in"))
        self.driver.find_element(By.NAME, "login").send_keys(login)
        self.driver.find_element(By.NAME, "password").send_keys(password)
        self.driver.find_element(By.CSS_SELECTOR, "form[action='/sign-in'] button").click()
        self.wait.until(shown.url_contains("/delete"))

    def test_officer_may_not_delete_the_administrator_may(self):
        self.sign_in("officer1", OFFICER_PASSWORD)
        self.assertFalse(self.driver.find_elements(By.CSS_SELECTOR, "button[value=yes]"))
        self.photograph("officer-delete")
        self.assertNoConsoleErrors()
        self.sign_in("admin1", ADMIN_PASSWORD)
        self.driver.find_element(By.CSS_SELECTOR, "button[value=yes]").click()
        self.wait.until(shown.url_contains("deleted="))
        listed = cli(["--server", self.cluster.url()], "surveys").stdout.decode().split()
        self.assertNotIn(BATCHES[2], listed)


if __name__ == "__main__":
    unittest.main()
