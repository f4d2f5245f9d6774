"""A load test of `quillmark serve`, on loopback only and bounded in count
and time: 50 concurrent clients posting the notice for its .docx get no
failed request; then PDFs while LibreOffice is killed mid-render: the
requests in flight get 503 or their PDF, the later ones their PDF, and
nothing is left behind when the server stops.

Each phase runs QUILLMARK_LOAD_SECONDS (10 by default, as CI runs it; 120
is the full run: QUILLMARK_LOAD_SECONDS=120 pytest -m load)."""

import asyncio
import os
import signal
import time

import pytest

from service_support import RENDER_REASON, Server, alive, command_line, descendants, renders, require_web_stack

require_web_stack()

import httpx  # noqa: E402

from test_cli import EXAMPLES  # noqa: E402

pytestmark = pytest.mark.load
SECONDS = float(os.environ.get("QUILLMARK_LOAD_SECONDS", "10"))
CLIENTS = 50
MARKDOWN = {"Content-Type": "text/markdown"}
NOTICE = (EXAMPLES / "notice.md").read_bytes()


async def _clients(url, path, clients, seconds, on_answer):
    """`clients` clients, each posting the notice again and again for
    `seconds`; on_answer(started, response or exception) for each."""
    deadline = time.monotonic() + seconds
    limits = httpx.Limits(max_connections=clients, max_keepalive_connections=clients)
    async with httpx.AsyncClient(base_url=url, timeout=120, limits=limits) as client:
        async def one():
            while time.monotonic() < deadline:
                started = time.monotonic()
                try:
                    on_answer(started, await client.post(path, content=NOTICE, headers=MARKDOWN))
                except httpx.HTTPError as error:
                    on_answer(started, error)

        await asyncio.gather(*(one() for _ in range(clients)))


def test_fifty_clients_posting_notices_for_docx_get_no_failure():
    answers = []
    with Server("--workers", "2", "--renderers", "0") as server:
        started = time.monotonic()
        asyncio.run(_clients(server.url, "/api/docx", CLIENTS, SECONDS,
                             lambda _, response: answers.append(getattr(response, "status_code", response))))
        took = time.monotonic() - started
    failed = [answer for answer in answers if answer != 200]
    print("%d .docx requests in %.1f s from %d clients: %.0f a second, %d failed"
          % (len(answers), took, CLIENTS, len(answers) / took, len(failed)))
    assert answers and failed == []


def _offices(server):
    return [pid for pid in descendants(server.process.pid) if b"soffice.bin" in command_line(pid)]


@pytest.mark.skipif(not renders(), reason=RENDER_REASON)
def test_pdfs_while_libreoffice_is_killed_mid_render():
    answers = []  # (started, status, error code)
    kills = []  # (killed at, ready again at)

    def record(started, response):
        if isinstance(response, Exception):
            answers.append((started, type(response).__name__, None))
        else:
            code = response.json()["error"] if response.status_code != 200 else None
            answers.append((started, response.status_code, code))
            if response.status_code == 503:
                assert response.headers["retry-after"]

    async def killer(server):
        """Kills LibreOffice in the middle of a render every few seconds, and
        notes when the next one is ready."""
        deadline = time.monotonic() + SECONDS - 3
        while time.monotonic() < deadline:
            await asyncio.sleep(2)
            while server.health()["libreoffice"]["busy"] == 0:
                await asyncio.sleep(0.01)
            offices = _offices(server)
            for pid in offices:
                os.kill(pid, signal.SIGKILL)
            killed = time.monotonic()
            while not server.health()["libreoffice"]["ready"] or set(_offices(server)) & set(offices):
                await asyncio.sleep(0.05)
            kills.append((killed, time.monotonic()))

    with Server("--renderers", "1", "--queue", "8") as server:
        async def run():
            await asyncio.gather(_clients(server.url, "/api/pdf", 4, SECONDS, record), killer(server))

        asyncio.run(run())
        offices = _offices(server)
        assert server.stop() in (0, -signal.SIGTERM)  # and nothing below the server is left
        assert not any(alive(pid) for pid in offices)

    assert kills
    statuses = {(status, code) for _, status, code in answers}
    assert statuses <= {(200, None), (503, "render-failed")}, statuses
    # Requests made once the new LibreOffice was ready got their PDFs.
    ready_again = kills[-1][1]
    later = [status for started, status, _ in answers if started > ready_again]
    print("%d PDF requests, %d killed LibreOffices, %d answers 503, %d requests after the last restart"
          % (len(answers), len(kills), sum(1 for _, status, _ in answers if status == 503), len(later)))
    assert later and set(later) == {200}
