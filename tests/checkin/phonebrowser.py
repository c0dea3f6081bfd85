"""Headless chromium at a phone's size (390 x 844 at 3x), as the check-in page tests drive it."""

import tempfile

from selenium import webdriver
from selenium.webdriver.chrome.service import Service


def phone_browser(prefix, user_agent=None):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    profile = tempfile.mkdtemp(prefix=prefix)
    for argument in ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                     "--disable-background-networking", "--disable-component-update", "--disable-sync",
                     "--disable-dev-shm-usage", "--user-data-dir=" + profile]:
        options.add_argument(argument)
    emulation = {"deviceMetrics": {"width": 390, "height": 844, "pixelRatio": 3.0}}
    if user_agent:
        emulation["userAgent"] = user_agent
    options.add_experimental_option("mobileEmulation", emulation)
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
