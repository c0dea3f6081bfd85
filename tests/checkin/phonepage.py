"""The check-in page in headless chromium at a phone's size, as a guest uses it.

    phonepage.py URL QUERY MASKED OTHER_QUERY PROOF DESK_QUERY DESK_MASKED [SCREENSHOT_DIR]

Opens the page, types QUERY, expects "请确认：MASKED" (the masked name and staff number), types a
wrong PROOF (the whole mobile number) and is told so, types PROOF, confirms, expects "签到成功"; opens
the page again and expects "已签到" (the phone's cookie); types OTHER_QUERY and expects to be told
that this phone has already checked somebody in. Then, as another phone, types DESK_QUERY (a guest
whose line holds nothing the hall does not see), confirms, expects "请到签到台确认" and waits until
the page, reloading itself, says "签到成功" (the desk confirms it meanwhile). Prints one line per
step; exits 0 when every step went so.
"""
import sys

from selenium.common.exceptions import WebDriverException
from selenium.webdriver.common.by import By
from selenium.webdriver.support import expected_conditions
from selenium.webdriver.support.ui import WebDriverWait

from phonebrowser import phone_browser

url, query, entrant, other, digits, desk_query, desk_entrant = sys.argv[1:8]
shots = sys.argv[8] if len(sys.argv) > 8 else None

driver = phone_browser("checkin-chromium-",
                       "Mozilla/5.0 (iPhone; CPU iPhone OS 17_0 like Mac OS X) AppleWebKit/605.1.15 "
                       "(KHTML, like Gecko) Version/17.0 Mobile/15E148 Safari/604.1")
driver.set_page_load_timeout(20)
wait = WebDriverWait(driver, 20)
failed = False


def check(name, ok, detail=""):
    global failed
    print(("ok   " if ok else "FAIL ") + name + (": " + detail if detail else ""), flush=True)
    failed = failed or not ok


def heading():
    return driver.find_element(By.TAG_NAME, "h2").text


def shot(name):
    if shots:
        driver.save_screenshot(shots + "/" + name + ".png")


def navigate_by(action):
    """Runs action, which leaves the page, and waits until the next page has loaded.

    The next page is there once the mark set on this one is gone: a reference to an element of the
    old page can fail in other ways than going stale while chromium navigates."""
    driver.execute_script("window.oldPage = true")
    action()
    WebDriverWait(driver, 20, ignored_exceptions=(WebDriverException,)).until(
        lambda d: d.execute_script("return !window.oldPage && document.readyState === 'complete'"))


def type_and_send(text):
    field = wait.until(expected_conditions.presence_of_element_located((By.ID, "q")))
    field.clear()
    field.send_keys(text)
    navigate_by(field.submit)


try:
    driver.get(url)
    shot("1-form")
    width = driver.execute_script("return document.documentElement.clientWidth")
    scroll = driver.execute_script("return document.documentElement.scrollWidth")
    check("phone viewport, nothing wider", width == 390 and scroll <= width, "%s/%s" % (width, scroll))
    outside = driver.execute_script(
        "return [...document.querySelectorAll('script[src],link[rel=stylesheet],img[src^=http]')].length")
    check("nothing loaded from elsewhere", outside == 0)

    type_and_send(query)
    shot("2-confirm")
    check("asks to confirm, masked", heading() == "请确认：" + entrant, heading())
    shown = driver.find_element(By.TAG_NAME, "main").text
    check("no phone number, no department shown", digits not in shown and "部" not in shown, shown)

    def confirm_with(text):
        field = driver.find_element(By.ID, "proof")
        field.send_keys(text)
        navigate_by(driver.find_element(By.ID, "confirm").click)

    confirm_with(digits[-4:])
    check("the last four digits the hall sees are no proof", heading() == "输入的信息不对", heading())
    confirm_with(digits)
    wait.until(expected_conditions.presence_of_element_located((By.ID, "result")))
    shot("3-done")
    check("checked in", heading() == "签到成功", heading())

    driver.get(url)
    wait.until(expected_conditions.presence_of_element_located((By.ID, "result")))
    check("again: already", heading() == "已签到", heading())
    shot("4-again")

    # The page of a phone that has checked in has no form; one kept from before (the back button)
    # still posts.
    driver.execute_script(
        "const f = document.createElement('form'); f.method = 'post'; f.action = './';"
        "const q = document.createElement('input'); q.name = 'q'; q.value = arguments[0];"
        "f.appendChild(q); document.body.appendChild(f); f.submit();", other)
    wait.until(lambda d: "这部手机" in heading())
    shot("5-other")
    check("this phone has checked somebody in", heading() == "这部手机已为 " + entrant + " 签到", heading())

    driver.get(url)
    driver.delete_all_cookies()
    driver.get(url)
    type_and_send(query)
    confirm_with(digits)
    wait.until(expected_conditions.presence_of_element_located((By.ID, "result")))
    check("again without the cookie: already", heading() == "已签到", heading())

    # A page of another site posting here (a forged form) is refused.
    driver.get("data:text/html,<form method=post action='" + url + "'><input name=q value='" + other +
               "'></form><script>document.forms[0].submit()</script>")
    wait.until(lambda d: d.current_url.startswith("http"))
    check("a post from another site is refused", "Forbidden" in driver.page_source, driver.page_source[:80])

    driver.get(url)
    driver.add_cookie({"name": "orvanta_checkin", "value": "forged.value", "path": "/"})
    type_and_send(other)
    check("a made-up cookie counts for nothing", heading().startswith("请确认："), heading())

    # A guest whose line the hall sees whole: the check-in waits for the desk, the page says so and
    # turns to "签到成功" by itself once the desk confirms.
    driver.delete_all_cookies()
    driver.get(url)
    type_and_send(desk_query)
    check("asks to confirm, masked (desk)", heading() == "请确认：" + desk_entrant, heading())
    check("no proof asked for", not driver.find_elements(By.ID, "proof"))
    navigate_by(driver.find_element(By.ID, "confirm").click)
    shot("6-waiting")
    check("waits for the desk", heading() == "请到签到台确认", heading())
    WebDriverWait(driver, 40, ignored_exceptions=(WebDriverException,)).until(
        lambda d: d.find_element(By.TAG_NAME, "h2").text == "签到成功")
    shot("7-confirmed")
    check("the desk confirmed it: checked in", heading() == "签到成功", heading())
finally:
    driver.quit()
sys.exit(1 if failed else 0)
