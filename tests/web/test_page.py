"""The page does what the window does, in the same words, with the same pixels as the engine's
run for the same seed, and sends nothing over the network."""
import base64
import json
import os
import subprocess
import time
from pathlib import Path

import pytest
from PIL import Image
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys

DIST = Path(os.environ.get("DLA_WEB_DIST", ""))
REFERENCE = os.environ.get("DLA_PAGE_REFERENCE", "")
CAPTION = "DLA (Quirandel)  28 de abril de 2003"
INVALID = "Número inválido para N!"
TOO_LARGE = "Sistema muito grande! É necessária uma alteração no código fonte!"
NOT_STARTED = "Por favor inicie o sistema ou verique seu tamanho (N >= 100)!"
SIDE = 398


def wait(browser, script, timeout=120):
    end = time.time() + timeout
    while not browser.execute_script(script):
        assert time.time() < end, f"waited {timeout} s for: {script}"
        time.sleep(0.02)


def open_page(browser, seed=None):
    query = "" if seed is None else f"?semente={seed}"
    browser.get((DIST / "index.html").as_uri() + query)
    wait(browser, "return document.body.dataset.pronta === '1'")


def element(browser, name):
    return browser.find_element(By.ID, name)


def set_n(browser, text):
    browser.execute_script("document.getElementById('TXTN').value = arguments[0]", text)


def press(browser, name):
    element(browser, name).click()
    wait(browser, "return document.body.dataset.ocupada === '0' || "
                  "document.getElementById('mensagem').open")


def message(browser):
    """The open message box's title and text, closed with OK; None when none is open."""
    if not browser.execute_script("return document.getElementById('mensagem').open"):
        return None
    shown = (element(browser, "mensagem-titulo").text, element(browser, "mensagem-texto").text)
    element(browser, "mensagem-ok").click()
    # The command goes on once the box has closed, and then ends (or shows another box).
    wait(browser, "return document.body.dataset.ocupada === '0' || "
                  "document.getElementById('mensagem').open")
    return shown


def canvas_pixels(browser):
    data = browser.execute_script("""
        const c = document.getElementById('TelaPixels');
        const bytes = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
        let s = '';
        for (let i = 0; i < bytes.length; i += 8192)
            s += String.fromCharCode.apply(null, bytes.subarray(i, i + 8192));
        return btoa(s);""")
    return base64.b64decode(data)


def reference(tmp_path, size, seed):
    pixels = tmp_path / "pixels"
    out = subprocess.run([REFERENCE, str(size), str(seed), str(pixels)], check=True,
                         capture_output=True, text=True).stdout
    return pixels.read_bytes(), out.rstrip("\n")


def test_opens_as_the_window_does(browser):
    open_page(browser)
    # A browser shows runs of blanks in a title as one; the title's own text keeps both.
    assert browser.execute_script("return document.querySelector('title').textContent") == CAPTION
    assert element(browser, "legenda").text == CAPTION
    assert element(browser, "TXTN").get_attribute("value") == "200"
    assert element(browser, "TXTPercentual").get_attribute("value") == ""
    assert browser.switch_to.active_element.get_attribute("id") == "CMDExecutar"
    # The estimate before any run meets its own refusal, in a box titled "DLA".
    press(browser, "CMDLxM")
    assert message(browser) == ("DLA", NOT_STARTED)


def test_key_filter_lets_digits_and_backspace_through(browser):
    open_page(browser)
    box = element(browser, "TXTN")
    box.clear()
    box.send_keys("a1-2.3, 4e5", Keys.ENTER)
    assert box.get_attribute("value") == "12345"
    box.send_keys(Keys.BACKSPACE, Keys.BACKSPACE)
    assert box.get_attribute("value") == "123"


@pytest.mark.parametrize("size, seed", [(200, 5), (101, 7)])
def test_run_draws_the_engines_aggregate_and_estimates_it(browser, tmp_path, size, seed):
    expected_pixels, expected_message = reference(tmp_path, size, seed)
    open_page(browser, seed)
    set_n(browser, str(size))
    press(browser, "CMDExecutar")
    assert message(browser) is None
    assert element(browser, "TXTPercentual").get_attribute("value") == ""
    pixels = canvas_pixels(browser)
    differing = sum(pixels[i:i + 4] != expected_pixels[i:i + 4] for i in range(0, len(pixels), 4))
    assert len(pixels) == SIDE * SIDE * 4 and differing == 0, f"{differing} pixels differ"
    press(browser, "CMDLxM")
    # The number is written with the decimal separator of the browser's language.
    separator = browser.execute_script("return (1.5).toLocaleString().charAt(1)")
    assert message(browser) == ("DLA", expected_message.replace(".", separator))


# The text is read as the window reads it (its own tests take every kind of text); one of each
# verdict here.
@pytest.mark.parametrize("text, words, focus, estimate", [
    ("", INVALID, "TXTN", "Dimensão Fractal = "),
    ("1001", TOO_LARGE, "CMDExecutar", NOT_STARTED),
])
def test_refusals_say_the_windows_words(browser, text, words, focus, estimate):
    open_page(browser, 2)
    set_n(browser, "100")
    press(browser, "CMDExecutar")
    set_n(browser, text)
    press(browser, "CMDExecutar")
    assert message(browser) == ("DLA", words)
    assert browser.switch_to.active_element.get_attribute("id") == focus
    # An invalid text keeps the last run's N, which the estimate measures; after "too large" N
    # is 1 again, which the estimate refuses.
    press(browser, "CMDLxM")
    title, said = message(browser)
    assert title == "DLA" and said.startswith(estimate), said


def lit_pixels(browser):
    pixels = canvas_pixels(browser)
    return sum(pixels[i:i + 4] == b"\x00\xff\x00\xff" for i in range(0, len(pixels), 4))


def test_a_command_during_a_run_runs_inside_it(browser):
    open_page(browser, 3)
    set_n(browser, "600")
    element(browser, "CMDExecutar").click()
    # The estimate mid-run measures the partial aggregate (N = 600) and the run then goes on.
    element(browser, "CMDLxM").click()
    wait(browser, "return document.getElementById('mensagem').open")
    drawn = lit_pixels(browser)
    title, text = message(browser)
    assert title == "DLA" and text.startswith("Dimensão Fractal = ")
    wait(browser, "return document.body.dataset.ocupada === '0'")
    assert lit_pixels(browser) > drawn


def test_large_growth_gives_dla_clis_aggregate_and_picture(browser, tmp_path):
    cli = os.environ.get("DLA_CLI")
    if not cli:
        pytest.skip("DLA_CLI is not set")
    expected = json.loads(subprocess.run(
        [cli, "--particles", "20000", "--seed", "11", "--json", "--image-size", "400", "--image",
         tmp_path / "a.png"], check=True, capture_output=True, text=True).stdout.splitlines()[0])
    open_page(browser)
    element(browser, "particulas").clear()
    element(browser, "particulas").send_keys("20000")
    element(browser, "semente").send_keys("11")
    element(browser, "crescer").click()
    wait(browser, "return document.body.dataset.grande === 'fim'")
    summary = element(browser, "resumo").text
    assert f"hash {expected['hash']}" in summary
    assert f"D (massa em caixas) = {expected['dimension']:.4f}" in summary
    side, pixels = browser.execute_script(
        "const side = Module._dla_grande_lado();"
        "return [side, Array.from(new Uint8Array(HEAPU8.buffer, Module._dla_grande_imagem(),"
        " side * side * 4))];")
    picture = Image.open(tmp_path / "a.png").convert("RGBA")
    assert picture.size == (side, side)
    assert bytes(pixels) == picture.tobytes()


@pytest.mark.parametrize("particles, seed, words", [
    ("999", "", "Número de partículas inválido! Use de 1000 a 10000000."),
    ("20000000", "", "Número de partículas inválido! Use de 1000 a 10000000."),
    ("5000", "-1", "Semente inválida!"),
])
def test_large_growth_refuses_what_it_cannot_grow(browser, particles, seed, words):
    open_page(browser)
    element(browser, "particulas").clear()
    element(browser, "particulas").send_keys(particles)
    element(browser, "semente").send_keys(seed)
    element(browser, "crescer").click()
    wait(browser, "return document.getElementById('mensagem').open")
    title, text = message(browser)
    assert title == "DLA" and text.startswith(words)


def test_nothing_leaves_the_machine(browser):
    open_page(browser, 1)
    set_n(browser, "100")
    press(browser, "CMDExecutar")
    press(browser, "CMDLxM")
    message(browser)
    requests = [json.loads(entry["message"])["message"] for entry in browser.get_log("performance")]
    urls = [m["params"]["request"]["url"] for m in requests
            if m["method"] == "Network.requestWillBeSent"]
    assert urls and all(url.startswith(("file:", "data:")) for url in urls), urls
    assert not [e for e in browser.get_log("browser") if e["level"] == "SEVERE"]
