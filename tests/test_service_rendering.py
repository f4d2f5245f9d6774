"""quillmark serve's PDFs and page images, rendered by a LibreOffice kept
running: the pages the command's PDF has, PNG pages, and what happens when
LibreOffice dies mid-render, passes its time limit, or every one is busy."""

import io
import os
import signal
import subprocess
import threading
import time
from dataclasses import replace

import pytest

from service_support import RENDER_REASON, alive, renders, require_web_stack, starlette_test_client

require_web_stack()
TestClient = starlette_test_client()
if not renders():
    pytest.skip(RENDER_REASON, allow_module_level=True)

from PIL import Image  # noqa: E402

from quillmark_cli.service.app import create_app  # noqa: E402
from quillmark_cli.service.settings import Settings  # noqa: E402
from test_cli import EXAMPLES, run  # noqa: E402

MARKDOWN = {"Content-Type": "text/markdown"}
NOTICE = (EXAMPLES / "notice.md").read_bytes()
# Some twenty pages: a render that lasts long enough to be caught in flight.
LONG = NOTICE + "".join("\n\n## 第%d节\n\n%s" % (n, "安全生产检查工作的有关事项。" * 60) for n in range(40)).encode()


def wait_ready(client, seconds=120):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        state = client.get("/api/health").json()["libreoffice"]
        if state["ready"] == state["renderers"] and state["busy"] == 0:
            return
        time.sleep(0.1)
    raise AssertionError("LibreOffice did not become ready")


@pytest.fixture(scope="module")
def client():
    with TestClient(create_app(Settings(renderers=1, queue=4))) as client:
        wait_ready(client)
        yield client


@pytest.fixture
def pool(client):
    pool = client.app.state.pool
    settings = pool.settings
    wait_ready(client)
    yield pool
    pool.settings = settings
    wait_ready(client)


def page_texts(pdf, directory):
    path = directory / "pages.pdf"
    path.write_bytes(pdf)
    text = subprocess.run(["pdftotext", "-layout", str(path), "-"], capture_output=True, check=True).stdout
    return ["".join(page.decode("utf-8").split()) for page in text.split(b"\f")[:-1]]


def test_the_pdf_has_the_pages_of_the_command_s(client, tmp_path):
    response = client.post("/api/pdf", content=NOTICE, headers=MARKDOWN)
    assert response.status_code == 200 and response.headers["content-type"] == "application/pdf"
    assert response.headers["content-disposition"].startswith('attachment; filename="output.pdf"')
    (tmp_path / "notice.md").write_bytes(NOTICE)
    assert run("notice.md", "-o", "notice.pdf", cwd=tmp_path).returncode == 0
    ours = page_texts(response.content, tmp_path)
    assert len(ours) == 2 and "关于开展2026年度安全生产检查工作的通知" in ours[0]
    assert ours == page_texts((tmp_path / "notice.pdf").read_bytes(), tmp_path)


def test_pages_as_png_and_the_preview(client):
    second = client.post("/api/png?page=2&dpi=50", content=NOTICE, headers=MARKDOWN)
    assert second.status_code == 200 and second.headers["content-type"] == "image/png"
    image = Image.open(io.BytesIO(second.content))
    width, height = image.size  # A4 at 50 pixels an inch, to the pixel
    assert abs(width - 210 / 25.4 * 50) < 1 and abs(height - 297 / 25.4 * 50) < 1
    past = client.post("/api/png?page=3", content=NOTICE, headers=MARKDOWN)
    assert past.status_code == 400 and "the document has 2" in past.json()["message"]
    by_accept = client.post("/api/convert?page=2&dpi=50", content=NOTICE, headers=dict(MARKDOWN, Accept="image/png"))
    assert by_accept.content == second.content

    preview = client.post("/api/preview?dpi=50", content=NOTICE, headers=MARKDOWN).json()
    assert [(page["width"], page["height"]) for page in preview["pages"]] == [image.size] * 2
    assert preview["page_count"] == 2
    assert preview["warnings"][0]["line"] == 42


def _in_thread(client, path, results):
    def post():
        results.append(client.post(path, content=LONG, headers=MARKDOWN))

    thread = threading.Thread(target=post)
    thread.start()
    return thread


def _wait_busy(pool):
    deadline = time.monotonic() + 60
    while pool.busy == 0:
        assert time.monotonic() < deadline
        time.sleep(0.005)


def test_libreoffice_killed_mid_render_is_503_then_restarted(client, pool):
    renderer = pool.slots[0].renderer
    office, bridge, work, pipe = renderer.office_pid, renderer.process.pid, renderer.work, renderer.pipe
    results = []
    thread = _in_thread(client, "/api/pdf", results)
    _wait_busy(pool)
    os.kill(office, signal.SIGKILL)
    thread.join(60)
    [response] = results
    assert response.status_code == 503 and response.json()["error"] == "render-failed"
    assert response.headers["retry-after"]
    # The next request waits for the new LibreOffice, and gets its PDF.
    assert client.post("/api/pdf", content=NOTICE, headers=MARKDOWN).status_code == 200
    assert renderer.office_pid != office
    assert not alive(office) and not alive(bridge) and not work.exists()
    assert pipe not in str(os.listdir("/tmp"))  # the killed office's socket is gone too


def test_a_render_past_its_time_limit_restarts_libreoffice(client, pool):
    renderer = pool.slots[0].renderer
    office = renderer.office_pid
    pool.settings = replace(pool.settings, render_seconds=0.01)
    response = client.post("/api/pdf", content=NOTICE, headers=MARKDOWN)
    assert response.status_code == 503 and "did not finish within 0.01 seconds" in response.json()["message"]
    assert not alive(office)


def test_a_full_line_is_503_with_retry_after(client, pool):
    pool.settings = replace(pool.settings, queue=0)
    results = []
    thread = _in_thread(client, "/api/pdf", results)
    _wait_busy(pool)
    turned_away = client.post("/api/png", content=NOTICE, headers=MARKDOWN)
    thread.join(60)
    assert results[0].status_code == 200
    assert turned_away.status_code == 503 and turned_away.json()["error"] == "busy"
    assert int(turned_away.headers["retry-after"]) >= 1


def test_closing_ends_every_process_and_leaves_nothing(tmp_path):
    with TestClient(create_app(Settings(renderers=1))) as client:
        wait_ready(client)
        renderer = client.app.state.pool.slots[0].renderer
        office, bridge, work, pipe = renderer.office_pid, renderer.process.pid, renderer.work, renderer.pipe
        assert alive(office) and alive(bridge) and pipe in str(os.listdir("/tmp"))
    assert not alive(office) and not alive(bridge)
    assert not work.exists() and pipe not in str(os.listdir("/tmp"))
