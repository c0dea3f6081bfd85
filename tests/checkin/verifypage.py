"""The verifiable draw on the phone page and the verifier page a guest saves, in headless chromium.

    verifypage.py URL DIR [SCREENSHOT_DIR]

Talks with the test that runs the event, a line each way: it prints "next" when a stage is checked and
reads what the event has become.
1. The mode is off: the page shows nothing of it, the verifier page is not served.
2. It reads "COMMITMENT HALL" (the mode on, the hall's number in): the page shows them, offers no
   proof yet; the verifier page is saved into DIR.
3. It reads "SEED PROOF WINNERS" (drawn and revealed; PROOF the program's proof, WINNERS every draw's
   winners joined by "," and the draws by "|"): the page shows the seed, the proof downloads with the
   same bytes. The saved verifier page, opened from file://, computes SHA-256 as the known vectors say,
   verifies the proof with those winners, and refuses proofs changed by a byte, naming the entry.
Prints one line per step; exits 0 when every step went so.
"""
import hashlib
import os
import re
import sys
import tempfile
import time

from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

from phonebrowser import phone_browser

url, folder = sys.argv[1:3]
shots = sys.argv[3] if len(sys.argv) > 3 else None

driver = phone_browser("verify-chromium-")
driver.set_page_load_timeout(20)
driver.execute_cdp_cmd("Browser.setDownloadBehavior", {"behavior": "allow", "downloadPath": folder})
failed = False


def check(name, ok, detail=""):
    global failed
    print(("ok   " if ok else "FAIL ") + name + (": " + detail if detail else ""), flush=True)
    failed = failed or not ok


def shot(name):
    if shots:
        driver.save_screenshot(shots + "/" + name + ".png")


def told():
    print("next", flush=True)
    return sys.stdin.readline().split()


def text_of(element_id):
    found = driver.find_elements(By.ID, element_id)
    return found[0].text if found else None


def download(link_id):
    """Clicks the link and waits for the file it saves; its path."""
    before = set(os.listdir(folder))
    driver.find_element(By.ID, link_id).click()
    for _ in range(200):
        new = [name for name in set(os.listdir(folder)) - before if not name.endswith(".crdownload")]
        if new:
            return os.path.join(folder, new[0])
        time.sleep(0.1)
    return None


def rechained(lines, at):
    """The lines with each prev from line at on made again: a change that keeps the chain whole."""
    for i in range(at, len(lines)):
        previous = hashlib.sha256(lines[i - 1]).hexdigest().encode()
        lines[i] = re.sub(rb'"prev":"[0-9a-f]{64}"', b'"prev":"' + previous + b'"', lines[i], count=1)
    return lines


def verdict_of(data, name):
    """The saved verifier's verdict on a file: (ok, the entry it names, the text)."""
    path = os.path.join(tempfile.mkdtemp(prefix="verify-proof-"), name)
    with open(path, "wb") as out:
        out.write(data)
    driver.refresh()
    driver.find_element(By.ID, "file").send_keys(path)
    WebDriverWait(driver, 60).until(lambda d: d.find_element(By.ID, "verdict").get_attribute("class"))
    verdict = driver.find_element(By.ID, "verdict")
    return verdict.get_attribute("class") == "ok", int(verdict.get_attribute("data-entry")), verdict.text


try:
    driver.get(url)
    check("mode off: nothing of it on the page", text_of("verify") is None and "承诺" not in driver.page_source)
    driver.get(url + "verifier")
    check("mode off: no verifier page", "Not Found" in driver.page_source)

    commitment, hall = told()
    driver.get(url)
    shot("verify-1-before")
    check("the commitment shown", text_of("commitment") == commitment, str(text_of("commitment")))
    check("the hall's number shown", text_of("hall") == hall, str(text_of("hall")))
    check("no seed, no proof before the reveal", text_of("seed") is None and not driver.find_elements(By.ID, "proof"))
    check("the page runs no script", not driver.find_elements(By.TAG_NAME, "script"))
    saved = download("verifier")
    check("the verifier page saved", saved is not None and saved.endswith(".html"), str(saved))
    driver.get(url + "proof")
    check("no proof before the reveal", "Not Found" in driver.page_source)

    seed, proof_path, winners = told()
    driver.get(url)
    shot("verify-2-revealed")
    check("the seed shown after the reveal", text_of("seed") == seed, str(text_of("seed")))
    proof = open(proof_path, "rb").read()
    got = download("proof")
    check("the proof downloads, the program's bytes", got is not None and open(got, "rb").read() == proof, str(got))

    driver.get("file://" + saved)
    vectors = driver.execute_script(
        "return [sha256Hex(''), sha256Hex('abc'), sha256Hex(new Uint8Array(1000000).fill(97))]")
    check("SHA-256 of the known vectors", vectors == [
        "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855",
        "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad",
        "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"], str(vectors))
    ok, entry, text = verdict_of(proof, "proof.txt")
    items = [item.text for item in driver.find_elements(By.CSS_SELECTOR, "#draws li.draw")]
    draws = [item.split("：", 1)[1].replace("、", ",") for item in items]
    shot("verify-3-verified")
    check("the genuine proof verifies", ok, text)
    check("every draw's winners recomputed", "|".join(draws) == winners, "|".join(draws))
    check("the proof's texts shown as text", items and "<b>一等奖</b>" in items[0] and not driver.find_elements(By.TAG_NAME, "b"))

    lines = proof[:-1].split(b"\n")
    draw = next(i for i, line in enumerate(lines) if b'"type":"draw"' in line)
    reveal = next(i for i, line in enumerate(lines) if b'"type":"reveal"' in line)
    at = lines[draw].index(b'"winners":[') + len(b'"winners":[')
    digit = lines[draw][at:at + 1]
    other = str((int(digit) + 1) % 10).encode()
    winner = lines[draw][:at] + other + lines[draw][at + 1:]
    at = lines[reveal].index(b'"seed":"') + len(b'"seed":"')
    seed_changed = lines[reveal][:at] + (b"1" if lines[reveal][at:at + 1] == b"0" else b"0") + lines[reveal][at + 1:]
    changed = {
        "a winner, one byte": (lines[:draw] + [winner] + lines[draw + 1:], draw + 2),
        "a winner, the chain made again": (rechained(lines[:draw] + [winner] + lines[draw + 1:], draw + 1), draw + 1),
        "the seed, the chain made again": (rechained(lines[:reveal] + [seed_changed] + lines[reveal + 1:], reveal + 1),
                                           reveal + 1),
        "an entrant, the chain made again": (rechained([lines[0].replace("员工2\"".encode(), "员工X\"".encode(), 1)] +
                                                       lines[1:], 1), 1),
        "not a proof at all": ([b"<b>not json</b>"], 1),
    }
    for name, (data, where) in changed.items():
        ok, entry, text = verdict_of(b"\n".join(data) + b"\n", "changed.txt")
        shot("verify-4-refused")
        check("refused: " + name, not ok and entry == where, "%s (entry %d)" % (text, entry))
finally:
    driver.quit()
sys.exit(1 if failed else 0)
