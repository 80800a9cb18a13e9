"""Headless Chromium for the tests of the HTML preview: a Selenium driver
with the browser's console kept, or an exit with status 77 and "SKIPPED:
<reason>" (CTest's skip) where no browser can start. Never a silent pass.
"""
import os
import shutil
import subprocess
import sys

SKIP = 77
CHROMIUM = os.environ.get("CHROMIUM", "/usr/bin/chromium")
CHROMEDRIVER = os.environ.get("CHROMEDRIVER", "/usr/bin/chromedriver")


def skip(reason):
    print("SKIPPED: " + reason, flush=True)
    sys.exit(SKIP)


def start_browser():
    try:
        from selenium import webdriver
        from selenium.common.exceptions import WebDriverException
        from selenium.webdriver.chrome.service import Service
    except ImportError:
        skip("selenium is not installed (apt-get install python3-selenium)")
    browser = CHROMIUM if os.path.exists(CHROMIUM) else shutil.which("chromium")
    driver_path = CHROMEDRIVER if os.path.exists(CHROMEDRIVER) else shutil.which("chromedriver")
    if not browser:
        skip("chromium is not installed (apt-get install chromium)")
    if not driver_path:
        skip("chromedriver is not installed (apt-get install chromium-driver)")
    options = webdriver.ChromeOptions()
    options.binary_location = browser
    for flag in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                 "--window-size=1500,1000"):
        options.add_argument(flag)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    try:
        return webdriver.Chrome(service=Service(driver_path), options=options)
    except WebDriverException as e:
        skip("chromium does not start here: " + str(e).strip().splitlines()[0])


class Checks:
    """Prints each check as it goes; the status is 1 when one failed."""

    def __init__(self):
        self.failures = []

    def __call__(self, ok, what):
        print(("ok    " if ok else "FAIL  ") + what, flush=True)
        if not ok:
            self.failures.append(what)

    def status(self):
        return 1 if self.failures else 0


def console_errors(driver):
    return [e for e in driver.get_log("browser") if e.get("level") == "SEVERE"]


def run_tool(tool, *args):
    """scenario_tool ARGS, which must succeed."""
    result = subprocess.run([tool, *args], stdin=subprocess.DEVNULL, capture_output=True,
                            text=True, timeout=120)
    if result.returncode != 0:
        sys.exit("scenario_tool %s failed (%d): %s" % (" ".join(args), result.returncode,
                                                      result.stderr))
    return result.stdout


def builtin_pair(tool, folder):
    """The built-in descriptions in `folder`: (route, train)."""
    run_tool(tool, "builtin", folder)
    return (os.path.join(folder, "BRENTALVO_linea.txt"),
            os.path.join(folder, "BRENTALVO_TRN4417-.txt"))
