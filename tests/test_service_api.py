"""quillmark serve's API through the application itself (an ASGI client,
no LibreOffice): the .docx the command writes, its problems as the command
words them with their places, and every refusal's status."""

import json
import logging
from html.parser import HTMLParser

import pytest

from service_support import members, require_web_stack, starlette_test_client

require_web_stack()
TestClient = starlette_test_client()


from helpers import frozen_clock  # noqa: E402
from quillmark_cli.main import main as command  # noqa: E402
from quillmark_cli.service.app import create_app  # noqa: E402
from quillmark_cli.service.settings import Settings  # noqa: E402
from test_cli import EXAMPLES, minimal, run  # noqa: E402

MARKDOWN = {"Content-Type": "text/markdown"}
JSON = {"Content-Type": "application/json"}
DOCX = "application/vnd.openxmlformats-officedocument.wordprocessingml.document"


@pytest.fixture(scope="module")
def client():
    with TestClient(create_app(Settings(renderers=0, max_body=64 * 1024))) as client:
        yield client


def command_output(tmp_path, name, data):
    """What the command writes for `data` as the file `name`, converted in
    this process (so that a frozen clock holds for both)."""
    source = tmp_path / name
    source.write_bytes(data)
    assert command([str(source), "-o", str(tmp_path / "out.docx")]) == 0
    return (tmp_path / "out.docx").read_bytes()


class TestTheDocx:
    @pytest.mark.parametrize("name, headers", [("notice.md", MARKDOWN), ("notice.json", JSON)])
    def test_the_bytes_the_command_writes(self, client, tmp_path, name, headers):
        data = (EXAMPLES / name).read_bytes()
        with frozen_clock():
            response = client.post("/api/docx", content=data, headers=headers)
            expected = command_output(tmp_path, name, data)
        assert response.status_code == 200
        assert response.headers["content-type"] == DOCX
        assert response.content == expected

    def test_the_download_is_named_and_carries_the_warnings(self, client):
        response = client.post("/api/docx", content=(EXAMPLES / "notice.md").read_bytes(), headers=MARKDOWN)
        assert response.headers["content-disposition"].startswith('attachment; filename="output.docx"')
        # The command's warning for the image at line 42, without the input's name.
        assert json.loads(response.headers["quillmark-warnings"]) == [
            {"line": 42, "message": "image flow-chart.png skipped: the generator does not write images"}]

    def test_a_record_block_it_cannot_place_on_an_even_page_is_said(self, client):
        data = json.loads((EXAMPLES / "notice.json").read_text(encoding="utf-8"))
        data["template"].setdefault("page", {})["record_block"] = "even"
        response = client.post("/api/docx", content=json.dumps(data).encode(), headers={"Content-Type": "application/json"})
        assert response.status_code == 200
        assert [entry["message"] for entry in json.loads(response.headers["quillmark-warnings"])][-1].startswith(
            "template.page.record_block: even: not applied here")

    def test_a_charset_parameter_does_not_change_how_the_bytes_are_read(self, client):
        data = (EXAMPLES / "notice.json").read_bytes()
        plain = client.post("/api/docx", content=data, headers=JSON)
        with_charset = client.post("/api/docx", content=data, headers={"Content-Type": "application/json; charset=gbk"})
        assert members(plain.content) == members(with_charset.content)

    def test_convert_chooses_by_accept(self, client):
        data = (EXAMPLES / "notice.json").read_bytes()
        for accept in (None, "*/*", DOCX, "text/html;q=0.9, %s" % DOCX):
            headers = dict(JSON, **({"Accept": accept} if accept else {}))
            response = client.post("/api/convert", content=data, headers=headers)
            assert response.status_code == 200 and response.headers["content-type"] == DOCX, accept
        refused = client.post("/api/convert", content=data, headers=dict(JSON, Accept="text/html"))
        assert refused.status_code == 406 and refused.json()["error"] == "not-acceptable"


FRONT_MATTER_NUMBER = b"""---
official:
  authority: x
  number: 12
---

# Title
"""
BROKEN_YAML = b"""---
styles:
  quote: [unclosed
---

# Title
"""


class TestProblems:
    """422 with the command's message (its line, less the input's name) and
    the place as numbers."""

    @pytest.mark.parametrize("name, data, line, column, path", [
        ("in.md", FRONT_MATTER_NUMBER, 4, None, None),
        ("in.md", BROKEN_YAML, 3, None, None),
        ("in.md", b"# Title\n\nabc\n\xffdef\n", 4, 1, None),
        ("in.md", b"---\nstray: 1\n---\n\ntext\n", 1, None, None),
        ("in.json", b'{"document": ', 1, 14, None),
        ("in.json", json.dumps(minimal([{"type": "header", "level": "2"}])).encode(), None, None,
         "document.elements[0].level"),
    ])
    def test_the_command_s_message_with_its_place(self, client, tmp_path, name, data, line, column, path):
        headers = MARKDOWN if name.endswith(".md") else JSON
        response = client.post("/api/docx", content=data, headers=headers)
        assert response.status_code == 422
        body = response.json()
        [problem] = body["problems"]
        assert (problem["line"], problem["column"], problem["path"]) == (line, column, path)
        (tmp_path / name).write_bytes(data)
        said = run(name, cwd=tmp_path)
        assert said.returncode == 2
        assert said.stderr == "%s: %s\n" % (name, problem["message"])
        assert body["error"] == "bad-input" and body["message"] == problem["message"]

    def test_a_template_named_by_path_is_never_opened(self, client, tmp_path, monkeypatch):
        template = tmp_path / "template.json"
        template.write_text((EXAMPLES / "official-template.json").read_text(encoding="utf-8"), encoding="utf-8")
        opened = []
        import quillmark_cli.input.markdown.front_matter as front_matter

        monkeypatch.setattr(front_matter, "read_file", lambda path: opened.append(path) or b"{}")
        for key, named in (("template", str(template)), ("template", "template.json"),
                           ("template", "../../../etc/passwd"), ('"templat\\x65"', "template.json"),
                           ("# a comment\n? template\n", "template.json"), ("{x: 1,\n template", "t.json}")):
            data = ("---\n%s: %s\n---\n\n# Title\n" % (key, named)).encode()
            response = client.post("/api/docx", content=data, headers=MARKDOWN)
            assert response.status_code == 422
            [problem] = response.json()["problems"]
            assert problem["where"] == "front matter: template" and problem["line"] in (2, 3, 4)
        assert opened == []

    @pytest.mark.parametrize("official, where", [
        ("seal: stamp\n  seal_image: /etc/hostname", "front matter: official: seal_image"),
        ("attachments: [{name: 附件, file: /etc/hostname}]", "front matter: official: attachments: 0: file"),
    ])
    def test_files_an_input_names_are_never_read(self, client, official, where):
        data = ("---\nofficial:\n  %s\n---\n\n# 标题\n\n正文\n" % official).encode()
        response = client.post("/api/docx", content=data, headers=MARKDOWN)
        assert response.status_code == 422
        [problem] = response.json()["problems"]
        assert problem["where"] == where and "files are not read here" in problem["message"]

    def test_warnings_before_a_problem_come_with_it(self, client):
        data = b"# Title\n\n<div>x</div>\n\n\x01\n"
        body = client.post("/api/docx", content=data, headers=MARKDOWN).json()
        assert body["problems"][0]["line"] == 5


def test_a_generator_failure_is_500_with_the_command_s_message(client, tmp_path):
    style = {"name": "正文", "font": {"name": "f", "color": "000000", "size": 10}}
    data = json.dumps(dict(minimal(), template={"styles": [style, style]})).encode()
    response = client.post("/api/docx", content=data, headers=JSON)
    assert response.status_code == 500 and response.json()["error"] == "failed"
    (tmp_path / "in.json").write_bytes(data)
    said = run("in.json", cwd=tmp_path)
    assert said.returncode == 1 and said.stderr == "in.json: %s\n" % response.json()["message"]


class TestRefusals:
    def test_a_body_over_the_limit_is_413_announced_or_not(self, client):
        big = b"# x\n\n" + b"a" * (64 * 1024)
        assert client.post("/api/docx", content=big, headers=MARKDOWN).status_code == 413

        def chunks():  # no Content-Length: sent chunked
            for _ in range(80):
                yield b"a" * 1024

        response = client.post("/api/docx", content=chunks(), headers=MARKDOWN)
        assert response.status_code == 413 and response.json()["error"] == "too-large"

    @pytest.mark.parametrize("content_type", [None, "text/plain", "application/xml", "multipart/form-data"])
    def test_neither_markdown_nor_json_is_415(self, client, content_type):
        headers = {"Content-Type": content_type} if content_type else {}
        response = client.post("/api/docx", content=b"# x\n", headers=headers)
        assert response.status_code == 415 and response.json()["error"] == "unsupported-media-type"

    def test_pdf_png_and_preview_without_libreoffice_are_503_but_problems_still_422(self, client):
        data = (EXAMPLES / "notice.md").read_bytes()
        for path in ("/api/pdf", "/api/png", "/api/preview"):
            response = client.post(path, content=data, headers=MARKDOWN)
            assert response.status_code == 503 and response.json()["error"] == "no-renderer", path
            assert client.post(path, content=FRONT_MATTER_NUMBER, headers=MARKDOWN).status_code == 422

    @pytest.mark.parametrize("query", ["page=0", "page=x", "dpi=10", "dpi=5000"])
    def test_parameters_out_of_range_are_400(self, client, query):
        response = client.post("/api/png?" + query, content=b"# x\n", headers=MARKDOWN)
        assert response.status_code == 400 and response.json()["error"] == "bad-parameter"

    def test_only_the_methods_each_path_takes(self, client):
        assert client.get("/api/docx").status_code == 405
        assert client.post("/api/health").status_code == 405
        assert client.get("/nowhere").status_code == 404


class TestDescriptions:
    def test_health(self, client):
        body = client.get("/api/health").json()
        assert body["status"] == "ok"
        assert body["libreoffice"]["available"] is False and "--renderers 0" in body["libreoffice"]["problem"]

    def test_the_schema_is_the_command_s(self, client):
        from quillmark_cli.input.schema import load_schema

        assert client.get("/api/schema").json() == load_schema()

    def test_the_openapi_description_names_every_route(self, client):
        described = client.get("/api/openapi.json").json()["paths"]
        routes = {(route.path, method.lower()) for route in client.app.routes
                  for method in getattr(route, "methods", None) or () if route.path.startswith("/api")}
        assert {(path, method) for path, item in described.items() for method in item} == \
            {(path, method) for path, method in routes if method != "head"}


class _Page(HTMLParser):
    def __init__(self):
        super().__init__()
        self.scripts, self.styles, self.inline, self.textarea, self._in = [], [], [], "", None

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if tag == "script":
            self.scripts.append(attrs.get("src"))
        if tag == "link" and attrs.get("rel") == "stylesheet":
            self.styles.append(attrs["href"])
        if tag == "style" or any(name.startswith("on") or name == "style" for name in attrs):
            self.inline.append(tag)
        self._in = tag

    def handle_endtag(self, tag):
        self._in = None

    def handle_data(self, data):
        if self._in == "script" and data.strip():
            self.inline.append("script")
        if self._in == "textarea":
            self.textarea += data


class TestThePage:
    def test_the_editor_opens_on_the_bundled_notice_escaped(self, client):
        from quillmark_cli.planning import BUNDLED_EXAMPLE

        response = client.get("/")
        assert response.status_code == 200
        page = _Page()
        page.feed(response.text)
        assert page.textarea == BUNDLED_EXAMPLE.read_text(encoding="utf-8").replace("\r\n", "\n")

    def test_typed_text_that_looks_like_markup_stays_text(self, monkeypatch, tmp_path):
        import quillmark_cli.planning as planning

        notice = tmp_path / "notice.md"
        notice.write_text("# </textarea><script>alert(1)</script> & <b>\n", encoding="utf-8")
        monkeypatch.setattr(planning, "BUNDLED_EXAMPLE", notice)
        from quillmark_cli.service.editor_page import page_html

        page = _Page()
        page.feed(page_html())
        assert page.textarea == notice.read_text(encoding="utf-8")
        assert None not in page.scripts

    def test_no_inline_script_and_every_asset_served_here(self, client):
        response = client.get("/")
        policy = response.headers["content-security-policy"]
        assert "script-src 'self'" in policy and "unsafe-inline" not in policy and "default-src 'none'" in policy
        page = _Page()
        page.feed(response.text)
        assert page.inline == [] and None not in page.scripts
        for asset in page.scripts + page.styles:
            assert not asset.startswith(("http:", "https:", "//"))
            fetched = client.get("/" + asset)
            assert fetched.status_code == 200 and fetched.content, asset
        assert client.get("/static/vendor/codemirror/LICENSE").status_code == 200

    @pytest.mark.parametrize("path", ["/static/..%2fapp.py", "/static/%2e%2e/app.py", "/static/../app.py",
                                      "/static/%2e%2e%2f%2e%2e%2fconversion.py", "/static//etc/passwd"])
    def test_static_files_stay_in_their_folder(self, client, path):
        response = client.get(path)
        assert response.status_code == 404 and b"import" not in response.content and b"root:" not in response.content


def test_one_log_line_per_request(client, caplog):
    with caplog.at_level(logging.INFO, logger="quillmark.serve.requests"):
        client.post("/api/docx", content=b"# x\n", headers=MARKDOWN)
        client.get("/api/health?x=%0a")
    lines = [record.getMessage() for record in caplog.records if record.name == "quillmark.serve.requests"]
    assert len(lines) == 2
    assert " POST /api/docx 200 " in lines[0] and lines[0].endswith("ms")
    assert " GET /api/health?x=%0a 200 " in lines[1]
