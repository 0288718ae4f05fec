"""The page in headless Chromium: a driver for the session, or a clear line and status 77 (which
CTest reports as skipped) where the page, the browser or its driver is missing."""
import os
import shutil

import pytest

SKIPPED = 77


def missing():
    dist = os.environ.get("DLA_WEB_DIST", "")
    if not os.path.isfile(os.path.join(dist, "dla.js")):
        return (f"no page in '{dist}' (it is built where emscripten is installed: "
                "apt-get install emscripten)")
    for program in ("chromium", "chromedriver"):
        if shutil.which(program) is None:
            return f"{program} is not installed (apt-get install chromium chromium-driver)"
    try:
        import selenium  # noqa: F401
    except ImportError:
        return "selenium is not installed (apt-get install python3-selenium)"
    return None


def pytest_sessionstart(session):
    reason = missing()
    if reason:
        print(f"web tests skipped: {reason}", flush=True)
        pytest.exit(f"web tests skipped: {reason}", returncode=SKIPPED)


@pytest.fixture(scope="session")
def browser():
    from selenium import webdriver
    from selenium.webdriver.chrome.options import Options
    from selenium.webdriver.chrome.service import Service

    options = Options()
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                     "--lang=pt-BR"):
        options.add_argument(argument)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL", "performance": "ALL"})
    driver = webdriver.Chrome(service=Service(shutil.which("chromedriver")), options=options)
    yield driver
    driver.quit()
