"""The editor page in a real Chromium (Debian's chromium and chromedriver,
driven by Selenium; nothing downloads a browser): typing changes the page
images, a broken front matter shows its problem with its line until it is
fixed, the .docx downloads and opens, and the console stays free of
errors. Without LibreOffice the page says how to install it, and still
checks and downloads."""

import os
import shutil
import sys
import time

import pytest

from service_support import RENDER_REASON, Server, renders, require_web_stack

require_web_stack()
pytest.importorskip("selenium", reason="Selenium drives the browser (tests/requirements.txt)")
CHROMIUM, CHROMEDRIVER = shutil.which("chromium"), shutil.which("chromedriver")
if not (CHROMIUM and CHROMEDRIVER):
    pytest.skip("Debian's chromium and chromium-driver run the browser tests", allow_module_level=True)

import docx  # noqa: E402
from selenium import webdriver  # noqa: E402
from selenium.webdriver.chrome.service import Service  # noqa: E402
from selenium.webdriver.common.action_chains import ActionChains  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402
from selenium.webdriver.common.keys import Keys  # noqa: E402
from selenium.webdriver.support.ui import WebDriverWait  # noqa: E402

TITLE = "关于开展2026年度安全生产检查工作的通知"
NUMBER_LINE = 11  # "  number: 某应急〔2026〕12号" in the bundled notice
# What Chromium logs for an answer the page expects (a 422 listing the
# problems, a 503 saying there is no LibreOffice): the network's word, not
# an error of the page.
EXPECTED_STATUSES = ("422 (Unprocessable", "503 (Service Unavailable)")


def browser(downloads):
    os.environ["SE_OFFLINE"] = "true"  # Selenium Manager must not fetch a driver or a browser
    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                     "--window-size=1400,900", "--lang=en-US"):
        options.add_argument(argument)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    options.add_experimental_option("prefs", {"download.default_directory": str(downloads),
                                              "download.prompt_for_download": False})
    driver = webdriver.Chrome(service=Service(CHROMEDRIVER), options=options)
    driver.execute_cdp_cmd("Browser.setDownloadBehavior", {"behavior": "allow", "downloadPath": str(downloads)})
    return driver


@pytest.fixture(scope="module")
def downloads(tmp_path_factory):
    return tmp_path_factory.mktemp("downloads")


@pytest.fixture(scope="module")
def driver(downloads):
    driver = browser(downloads)
    yield driver
    driver.quit()


@pytest.fixture
def page(driver):
    """The driver, and after the test, no error in the console but the
    statuses the page expects."""
    driver.get_log("browser")  # what earlier tests left
    yield driver
    errors = [entry["message"] for entry in driver.get_log("browser") if entry["level"] == "SEVERE"
              and not (entry["source"] == "network" and any(s in entry["message"] for s in EXPECTED_STATUSES))]
    assert errors == []


@pytest.fixture(scope="module")
def server():
    if not renders():
        pytest.skip(RENDER_REASON)
    with Server("--renderers", "1") as server:
        yield server


def editor(driver, script, *arguments):
    """Runs `script` with `cm`, the page's CodeMirror."""
    return driver.execute_script("var cm = document.querySelector('.CodeMirror').CodeMirror; " + script, *arguments)


def type_keys(driver, *keys):
    """Types into the editor, key by key, as a person does."""
    editor(driver, "cm.focus();")
    ActionChains(driver).send_keys(*keys).perform()


def status(driver):
    return driver.find_element(By.ID, "status").text


def images(driver):
    return driver.execute_script("return Array.from(document.querySelectorAll('#pages img'), i => i.src);")


def wait(driver, condition, seconds=60):
    return WebDriverWait(driver, seconds, poll_frequency=0.05).until(lambda _: condition())


def open_page(driver, server):
    driver.get(server.url)
    wait(driver, lambda: status(driver).startswith("Up to date") and len(images(driver)) == 2)


def problems(driver):
    """(the place shown, the message) of each problem listed, read at one
    moment (the list is made anew as answers come)."""
    return [tuple(item) for item in driver.execute_script(
        "return Array.from(document.querySelectorAll('#problem-list li'), function (item) {"
        "  var place = item.querySelector('.place');"
        "  return [place ? place.textContent : null, item.querySelector('.message').textContent];"
        "});")]


def test_a_new_heading_changes_the_page_image(page, server):
    open_page(page, server)
    before = images(page)
    editor(page, "cm.setCursor({line: 16, ch: cm.getLine(16).length});")  # the title's line
    typed = time.monotonic()
    type_keys(page, Keys.ENTER, Keys.ENTER, "## 新增的一节")
    wait(page, lambda: images(page)[0] != before[0] and status(page).startswith("Up to date"))
    print("keystroke to new page image: %.2f s" % (time.monotonic() - typed))
    assert editor(page, "return cm.getLine(18);") == "## 新增的一节"
    assert page.find_element(By.CSS_SELECTOR, "#pages img").get_attribute("alt") == "Page 1"


def test_a_broken_front_matter_shows_its_line_until_it_is_fixed(page, server):
    open_page(page, server)
    value = editor(page, "return cm.getLine(%d);" % (NUMBER_LINE - 1)).split(": ", 1)[1]
    editor(page, "cm.setSelection({line: %d, ch: 10}, {line: %d, ch: cm.getLine(%d).length});"
           % ((NUMBER_LINE - 1,) * 3))
    type_keys(page, "12")
    wait(page, lambda: problems(page))
    assert problems(page) == [("line %d" % NUMBER_LINE,
                               "front matter: official: number: expected text, got 12 (put it in quotes)")]
    editor(page, "cm.setCursor({line: 0, ch: 0});")
    page.find_element(By.CSS_SELECTOR, "#problem-list button").click()
    assert editor(page, "return cm.getCursor().line;") == NUMBER_LINE - 1
    # Typing the number back makes the problem go, and the pages come back.
    editor(page, "cm.setSelection({line: %d, ch: 10}, {line: %d, ch: cm.getLine(%d).length});"
           % ((NUMBER_LINE - 1,) * 3))
    type_keys(page, value)
    wait(page, lambda: not problems(page) and status(page).startswith("Up to date"))
    assert not page.find_element(By.ID, "problems").is_displayed()


def _downloaded(downloads, name):
    path = downloads / name
    deadline = time.monotonic() + 30
    while not path.exists() or list(downloads.glob("*.crdownload")):
        assert time.monotonic() < deadline, "no download"
        time.sleep(0.05)
    return path


def test_the_docx_downloads_and_opens(page, server, downloads):
    open_page(page, server)
    page.find_element(By.ID, "download-docx").click()
    path = _downloaded(downloads, TITLE + ".docx")
    assert TITLE in [paragraph.text for paragraph in docx.Document(str(path)).paragraphs]
    path.unlink()


def test_without_libreoffice_the_page_says_how_to_install_it(page, downloads, tmp_path):
    bare = tmp_path / "bin"  # a PATH with this Python and no soffice
    bare.mkdir()
    (bare / "python3").symlink_to(sys.executable)
    with Server(environment={"PATH": str(bare)}) as server:
        page.get(server.url)
        message = page.find_element(By.ID, "preview-message")
        wait(page, lambda: message.is_displayed())
        assert "apt-get install libreoffice-writer-nogui python3-uno" in message.text
        assert not page.find_element(By.ID, "download-pdf").is_enabled()
        # Problems are still found, and the .docx still downloads.
        editor(page, "cm.setSelection({line: %d, ch: 10}, {line: %d, ch: cm.getLine(%d).length});"
               % ((NUMBER_LINE - 1,) * 3))
        type_keys(page, "12")
        wait(page, lambda: problems(page))
        type_keys(page, Keys.BACKSPACE, Keys.BACKSPACE, "'12'")
        wait(page, lambda: not problems(page))
        page.find_element(By.ID, "download-docx").click()
        path = _downloaded(downloads, TITLE + ".docx")
        assert TITLE in [paragraph.text for paragraph in docx.Document(str(path)).paragraphs]
        path.unlink()
