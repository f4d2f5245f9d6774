"""`quillmark serve` as a process on loopback: concurrent requests get the
command's packages, workers share the load, and SIGTERM lets the requests
in flight finish, then ends every process below the server."""

import signal
import socket
import subprocess
import sys
import threading
import time
from concurrent.futures import ThreadPoolExecutor

import pytest

from service_support import (
    RENDER_REASON, Server, alive, command_line, descendants, members, renders, require_web_stack,
)

require_web_stack()

import httpx  # noqa: E402

from test_cli import EXAMPLES, run  # noqa: E402

MARKDOWN = {"Content-Type": "text/markdown"}
NOTICE = (EXAMPLES / "notice.md").read_bytes()
# Some twenty pages: a render that lasts long enough to be caught in flight.
LONG = NOTICE + "".join("\n\n## 第%d节\n\n%s" % (n, "安全生产检查工作的有关事项。" * 60) for n in range(40)).encode()


@pytest.fixture(scope="module")
def expected(tmp_path_factory):
    """The command's package for the notice."""
    directory = tmp_path_factory.mktemp("command")
    (directory / "notice.md").write_bytes(NOTICE)
    assert run("notice.md", "-o", "notice.docx", cwd=directory).returncode == 0
    return members((directory / "notice.docx").read_bytes())


@pytest.mark.parametrize("workers", [1, 2])
def test_concurrent_requests_get_the_command_s_package(expected, workers):
    with Server("--workers", str(workers), "--renderers", "0") as server:
        assert "--renderers 0" in server.health()["libreoffice"]["problem"]  # the workers have the settings
        with httpx.Client(base_url=server.url, timeout=60) as client:
            def post(_):
                return client.post("/api/docx", content=NOTICE, headers=MARKDOWN)

            with ThreadPoolExecutor(8) as pool:
                responses = list(pool.map(post, range(24)))
        assert [response.status_code for response in responses] == [200] * 24
        assert all(members(response.content) == expected for response in responses)
        assert server.stop() in (0, -signal.SIGTERM)  # uvicorn ends as the signal would, after its shutdown
    logged = [line for line in server.output().splitlines() if " POST /api/docx " in line]
    assert len(logged) == 24 and all(" 200 " in line for line in logged)


def test_a_body_over_the_limit_is_refused_before_it_is_read():
    with Server("--renderers", "0", "--max-body", "1K") as server:
        response = httpx.post(server.url + "/api/docx", content=b"x" * 2048, headers=MARKDOWN)
        assert response.status_code == 413


@pytest.mark.skipif(not renders(), reason=RENDER_REASON)
def test_sigterm_finishes_the_render_in_flight_and_leaves_no_process():
    with Server("--renderers", "1") as server:
        state = server.health()["libreoffice"]
        assert state["ready"] == 1
        results = []

        def post():
            results.append(httpx.post(server.url + "/api/pdf", content=LONG, headers=MARKDOWN, timeout=60))

        thread = threading.Thread(target=post)
        thread.start()
        deadline = time.monotonic() + 60
        while server.health()["libreoffice"]["busy"] == 0:
            assert thread.is_alive() and time.monotonic() < deadline, "the render was not seen in flight"
        status = server.stop()  # asserts that nothing is left below the server
        thread.join(60)
        assert results[0].status_code == 200 and results[0].content.startswith(b"%PDF")
        assert status in (0, -signal.SIGTERM)
    assert "Application shutdown complete" in server.output()


def test_without_libreoffice_docx_still_and_the_health_says_how_to_install_it(tmp_path):
    bare = tmp_path / "bin"  # a PATH with this Python and no soffice
    bare.mkdir()
    (bare / "python3").symlink_to(sys.executable)
    with Server(environment={"PATH": str(bare)}) as server:
        state = server.health()["libreoffice"]
        assert state["available"] is False and "apt-get install libreoffice-writer-nogui" in state["problem"]
        assert httpx.post(server.url + "/api/docx", content=NOTICE, headers=MARKDOWN).status_code == 200
        response = httpx.post(server.url + "/api/pdf", content=NOTICE, headers=MARKDOWN)
        assert response.status_code == 503 and response.json()["error"] == "no-renderer"


@pytest.mark.skipif(not renders(), reason=RENDER_REASON)
def test_a_killed_server_takes_its_libreoffice_with_it():
    with Server("--renderers", "1") as server:
        below = descendants(server.process.pid)
        assert any(b"soffice" in command_line(pid) for pid in below)
        server.process.kill()  # SIGKILL: no shutdown runs
        server.process.wait(10)
        deadline = time.monotonic() + 20
        while [pid for pid in below if alive(pid)] and time.monotonic() < deadline:
            time.sleep(0.1)
        assert [command_line(pid) for pid in below if alive(pid)] == []


def test_a_taken_port_is_one_line_and_status_1():
    with socket.socket() as taken:
        taken.bind(("127.0.0.1", 0))
        taken.listen()
        done = subprocess.run([sys.executable, "-m", "quillmark_cli", "serve", "--renderers", "0", "--port",
                               str(taken.getsockname()[1])], capture_output=True, text=True, timeout=120)
    assert done.returncode == 1
    assert [line for line in done.stderr.splitlines() if "ERROR" in line][0].endswith("address already in use")
