"""PDF output through LibreOffice, as a Unix tool writes it: a batch shared
among up to N LibreOffice processes, every fault said in one line with the
right status and nothing written for it, nothing left behind after any
signal, and LibreOffice never outliving the command. A stand-in for
LibreOffice (fake_soffice.py) shows the faults a real one cannot be made to
show; the real one renders the faces, the properties and PDF/A."""

import json
import os
import re
import shutil
import signal
import subprocess
import sys
import time
import zipfile
from pathlib import Path
from types import SimpleNamespace

import pytest

from quillmark_cli.output.delivery import STAND_IN_NOTE

from test_cli import EXAMPLES, minimal, write_json

TESTS = Path(__file__).resolve().parent
DEADLINE = 30  # seconds a run given a fault may take


def command(*args, env, cwd, timeout=120):
    return subprocess.run([sys.executable, "-m", "quillmark_cli", *map(str, args)], cwd=str(cwd), env=env,
                          capture_output=True, text=True, timeout=timeout)


def titled(directory, *titles):
    """JSON inputs named after their titles, in order."""
    paths = []
    for title in titles:
        elements = [{"type": "paragraph", "style_name": "正文", "text": "文档" + title}]
        paths.append(write_json(directory / (title + ".json"), minimal(elements)))
    return paths


def gone(pid, within=10.0):
    deadline = time.monotonic() + within
    while time.monotonic() < deadline:
        try:
            os.kill(pid, 0)
        except ProcessLookupError:
            return True
        with open("/proc/%d/stat" % pid) as stat:
            if stat.read().rsplit(")", 1)[1].split()[0] == "Z":  # dead, not yet reaped
                return True
        time.sleep(0.05)
    return False


class Fake:
    """The stand-in on PATH, with a private TMPDIR."""

    def __init__(self, root):
        self.root = root
        tools = root / "tools"
        tools.mkdir()
        script = tools / "soffice"
        script.write_text("#!%s\nimport sys\nsys.path.insert(0, %r)\nimport fake_soffice\n"
                          "sys.exit(fake_soffice.main(sys.argv[1:]))\n" % (sys.executable, str(TESTS)))
        script.chmod(0o755)
        self.tmp = root / "tmp"
        self.tmp.mkdir()
        self.log, self.hung = root / "log", root / "hung"
        self.env = dict(os.environ, PATH=str(tools) + os.pathsep + os.environ["PATH"], TMPDIR=str(self.tmp),
                        FAKE_LOG=str(self.log), FAKE_HUNG=str(self.hung))

    def act(self, **actions):
        self.env["FAKE_ACTIONS"] = json.dumps(actions)
        return self

    def runs(self):
        return [json.loads(line) for line in self.log.read_text().splitlines()] if self.log.exists() else []

    def hung_pids(self):
        return [int(pid) for pid in self.hung.read_text().split()] if self.hung.exists() else []

    def wait_for_hang(self, process):
        deadline = time.monotonic() + 60
        while not self.hung_pids():
            assert process.poll() is None and time.monotonic() < deadline, process.stderr.read()
            time.sleep(0.05)


@pytest.fixture
def fake(tmp_path):
    return Fake(tmp_path)


def messages(stderr):
    """The lines on standard error, less the note on stand-in faces."""
    assert "Traceback" not in stderr, stderr
    return [line for line in stderr.splitlines() if not line.startswith(STAND_IN_NOTE)]


def one_line(stderr):
    lines = messages(stderr)
    assert len(lines) == 1, stderr
    return lines[0]


class TestPdfOutput:
    def test_with_one_job_a_batch_renders_in_one_run_and_each_pdf_is_written(self, fake, tmp_path):
        done = command(EXAMPLES / "notice.md", EXAMPLES / "english.json", "--to", "pdf", "-d", tmp_path / "out",
                       "-j", "1", env=fake.env, cwd=tmp_path)
        assert done.returncode == 0, done.stderr
        assert sorted(os.listdir(str(tmp_path / "out"))) == ["english.pdf", "notice.pdf"]
        assert "某市应急管理局文件".encode() in (tmp_path / "out" / "notice.pdf").read_bytes()
        runs = fake.runs()
        assert len(runs) == 1 and any(a.startswith("-env:UserInstallation=file://") for a in runs[0]["args"])

    def test_without_libreoffice_one_line_and_nothing_written(self, tmp_path):
        env = dict(os.environ, PATH=os.path.dirname(sys.executable))
        done = command(EXAMPLES / "notice.md", "-o", tmp_path / "notice.pdf", env=env, cwd=tmp_path)
        assert done.returncode == 1
        assert len(done.stderr.splitlines()) == 1 and "apt-get install libreoffice-writer-nogui" in done.stderr
        assert not (tmp_path / "notice.pdf").exists()

    def test_the_bare_command_names_the_one_that_gives_the_pdf(self, fake, tmp_path):
        done = command(env=fake.env, cwd=tmp_path)
        assert done.returncode == 0, done.stderr
        size = (tmp_path / "output.docx").stat().st_size
        assert done.stderr.splitlines()[-2:] == ["wrote output.docx (%d bytes)" % size,
                                                 "for the PDF as well: quillmark -o output.pdf"]
        done = command("-o", "output.pdf", env=fake.env, cwd=tmp_path)
        assert done.returncode == 0, done.stderr
        assert (tmp_path / "output.pdf").read_bytes().startswith(b"%PDF")
        assert "quillmark -o" not in done.stderr

    @pytest.mark.parametrize("args", [[], ["-o", "output.docx"], [EXAMPLES / "notice.md"]])
    def test_no_pdf_suggestion_without_libreoffice_or_for_a_given_command(self, fake, tmp_path, args):
        env = dict(fake.env, PATH=os.path.dirname(sys.executable)) if not args else fake.env
        done = command(*args, env=env, cwd=tmp_path)
        assert done.returncode == 0, done.stderr
        assert "wrote output.docx" in done.stderr and "PDF" not in done.stderr


class TestParallel:
    def test_up_to_n_processes_each_with_a_profile_of_its_own(self, fake, tmp_path):
        inputs = titled(tmp_path, "甲", "乙", "丙", "丁", "戊")
        done = command(*inputs, "--to", "pdf", "-d", tmp_path / "out", "-j", "2", env=fake.env, cwd=tmp_path)
        assert done.returncode == 0, done.stderr
        for path in inputs:
            assert ("文档" + path.stem).encode() in (tmp_path / "out" / (path.stem + ".pdf")).read_bytes()
        runs = fake.runs()
        assert len(runs) == 2
        profiles = [next(a for a in run["args"] if a.startswith("-env:UserInstallation=")) for run in runs]
        assert len(set(profiles)) == 2
        # The packages are dealt in turn, and each process's temporary files go with the rest.
        given = sorted([os.path.basename(a) for a in run["args"] if a.endswith(".docx")] for run in runs)
        assert given == [["000000.docx", "000002.docx", "000004.docx"], ["000001.docx", "000003.docx"]]
        for run in runs:
            assert Path(run["tmpdir"]).parent.parent.parent == fake.tmp
        assert list(fake.tmp.iterdir()) == []

    def test_one_job_one_process(self, fake, tmp_path):
        inputs = titled(tmp_path, "甲", "乙", "丙")
        done = command(*inputs, "--to", "pdf", "-d", tmp_path / "out", "-j", "1", env=fake.env, cwd=tmp_path)
        assert done.returncode == 0, done.stderr
        assert len(fake.runs()) == 1 and len(os.listdir(str(tmp_path / "out"))) == 3


class TestFaults:
    @pytest.mark.parametrize("script, reason", [
        (b"#!/no/such/interpreter\n", "its interpreter '/no/such/interpreter' does not exist"),
        (b"#!/bin/sh\r\necho hello\r\n", "its first line ends in a carriage return (a script with Windows line "
                                         "endings)"),
        (b"\x7fELF\x02\x01\x01" + bytes(64), "it is not a program this system can run"),
    ], ids=["missing interpreter", "CRLF", "not a program"])
    def test_an_soffice_the_system_cannot_run(self, tmp_path, script, reason):
        tools = tmp_path / "tools"
        tools.mkdir()
        (tools / "soffice").write_bytes(script)
        (tools / "soffice").chmod(0o755)
        env = dict(os.environ, PATH=str(tools) + os.pathsep + os.environ["PATH"])
        done = command(*titled(tmp_path, "甲"), "-o", tmp_path / "甲.pdf", env=env, cwd=tmp_path)
        assert done.returncode == 1
        assert one_line(done.stderr) == "quillmark: cannot write PDF: cannot run LibreOffice (%s): %s" % (
            tools / "soffice", reason)
        assert not (tmp_path / "甲.pdf").exists()

    @pytest.mark.parametrize("action, message", [
        ("empty", "LibreOffice wrote an empty file instead of a PDF"),
        ("junk", "LibreOffice wrote 22 bytes that are not a whole PDF"),
        ("skip", "LibreOffice did not render it: Error: source file could not be loaded"),
    ])
    @pytest.mark.parametrize("target", ["甲.pdf", "-"])
    def test_what_libreoffice_wrote_is_checked(self, fake, tmp_path, action, message, target):
        fake.act(**{"000000": action})
        source, = titled(tmp_path, "甲")
        done = subprocess.run([sys.executable, "-m", "quillmark_cli", str(source), "-o", target, "--to", "pdf"],
                              cwd=str(tmp_path), env=fake.env, capture_output=True, timeout=DEADLINE)
        assert done.returncode == 1
        assert done.stdout == b""
        assert one_line(done.stderr.decode()) == "%s: cannot write PDF: %s" % (source, message)
        assert not (tmp_path / "甲.pdf").exists()

    @pytest.mark.parametrize("action, message", [
        ("crash", "LibreOffice crashed (signal 11, SIGSEGV)"),
        ("crash-writing", "LibreOffice crashed (signal 11, SIGSEGV)"),
        ("hang", "LibreOffice made no progress for 1 seconds and was stopped (--pdf-timeout SECONDS allows more)"),
    ])
    def test_a_crash_or_a_hang_costs_only_the_document_it_was_rendering(self, fake, tmp_path, action, message):
        inputs = titled(tmp_path, "甲", "乙", "丙", "丁")
        fake.act(**{"000001": action})
        started = time.monotonic()
        done = command(*inputs, "--to", "pdf", "-d", tmp_path / "out", "-j", "1", "--pdf-timeout", "1",
                       env=fake.env, cwd=tmp_path, timeout=DEADLINE)
        assert time.monotonic() - started < 20
        assert done.returncode == 1
        assert messages(done.stderr) == ["%s: cannot write PDF: %s" % (inputs[1], message),
                                            "converted 3 of 4 documents into %s, 1 failed" % (tmp_path / "out")]
        assert sorted(os.listdir(str(tmp_path / "out"))) == ["丁.pdf", "丙.pdf", "甲.pdf"]
        # A new LibreOffice rendered the rest; the hung one is gone.
        assert [[os.path.basename(a) for a in run["args"] if a.endswith(".docx")] for run in fake.runs()] == \
            [["000000.docx", "000001.docx", "000002.docx", "000003.docx"], ["000002.docx", "000003.docx"]]
        assert all(gone(pid) for pid in fake.hung_pids())
        assert list(fake.tmp.iterdir()) == []

    def test_a_hang_is_judged_by_progress_not_by_the_batch(self, fake, tmp_path):
        """Each document takes 0.5 s of a 1.5 s limit: the batch takes longer
        than the limit, and is not stopped."""
        inputs = titled(tmp_path, "甲", "乙", "丙", "丁")
        fake.act(**{"%06d" % n: "slow" for n in range(4)})
        fake.env["FAKE_SLOW"] = "0.5"
        done = command(*inputs, "--to", "pdf", "-d", tmp_path / "out", "-j", "1", "--pdf-timeout", "1.5",
                       env=fake.env, cwd=tmp_path, timeout=DEADLINE)
        assert done.returncode == 0, done.stderr
        assert len(os.listdir(str(tmp_path / "out"))) == 4 and len(fake.runs()) == 1

    @pytest.mark.parametrize("start, message", [
        ("crash", "LibreOffice crashed (signal 11, SIGSEGV)"),
        ("no-room", "no space left in the temporary directory {tmp} (set TMPDIR to a directory with room)"),
        ("flood", "LibreOffice failed (exit status 1): " + "x" * 199 + "…"),
    ])
    def test_libreoffice_that_renders_nothing_fails_the_batch_in_one_line(self, fake, tmp_path, start, message):
        inputs = titled(tmp_path, "甲", "乙", "丙")
        fake.act(start=start)
        done = command(*inputs, "--to", "pdf", "-d", tmp_path / "out", "-j", "2", env=fake.env, cwd=tmp_path,
                       timeout=DEADLINE)
        assert done.returncode == 1
        assert messages(done.stderr) == ["quillmark: cannot write PDF: " + message.format(tmp=fake.tmp),
                                            "converted 0 of 3 documents into %s, 3 failed" % (tmp_path / "out")]
        assert not (tmp_path / "out").exists() and list(fake.tmp.iterdir()) == []

    def test_a_bad_timeout_is_refused(self, fake, tmp_path):
        for value in ("0", "-1", "nan", "inf", "x"):
            done = command(EXAMPLES / "notice.md", "-o", "n.pdf", "--pdf-timeout", value, env=fake.env, cwd=tmp_path)
            assert done.returncode == 2 and "--pdf-timeout: expected a positive number of seconds" in done.stderr
        done = command(EXAMPLES / "notice.md", "-o", "n.docx", "--pdf-a", env=fake.env, cwd=tmp_path)
        assert done.returncode == 2 and "--pdf-a writes PDF" in done.stderr
        assert fake.runs() == []


def test_only_fonts_not_installed_are_stood_in_for():
    """A machine that has 仿宋_GB2312 draws it; one without FandolFang draws
    仿宋 in the Song face; one without any Kai face leaves 楷体 to
    LibreOffice."""
    from quillmark_cli.output.pdf.fonts import substitutions

    chosen = substitutions({"仿宋_gb2312", "fandolfangr", "notoserifcjksc", "notosanscjksc"})
    assert "仿宋_GB2312" not in chosen and chosen["仿宋"].shown == "FandolFang"
    assert "楷体_GB2312" not in chosen and chosen["黑体"].family == "Noto Sans CJK SC"
    chosen = substitutions({"notoserifcjksc", "arplukaicn"})
    assert chosen["仿宋_GB2312"].family == chosen["方正小标宋简体"].family == "Noto Serif CJK SC"
    assert chosen["楷体_GB2312"].family == "AR PL UKai CN" and "黑体" not in chosen


class TestSignals:
    @pytest.mark.parametrize("signum", [signal.SIGINT, signal.SIGTERM, signal.SIGHUP])
    def test_an_interrupt_ends_libreoffice_and_leaves_nothing(self, fake, tmp_path, signum):
        inputs = titled(tmp_path, "甲", "乙", "丙")
        fake.act(start="hang")
        process = subprocess.Popen([sys.executable, "-m", "quillmark_cli", *map(str, inputs), "--to", "pdf", "-d",
                                    str(tmp_path / "out"), "-j", "1"], cwd=str(tmp_path), env=fake.env,
                                   stderr=subprocess.PIPE, text=True)
        fake.wait_for_hang(process)
        process.send_signal(signum)
        _, errors = process.communicate(timeout=DEADLINE)
        assert process.returncode == 128 + signum, errors
        # The documents were interrupted, not failed.
        assert messages(errors) == ["quillmark: interrupted: converted 0 of 3 documents into %s" % (
            tmp_path / "out")]
        assert all(gone(pid) for pid in fake.hung_pids())
        assert list(fake.tmp.iterdir()) == [] and not (tmp_path / "out").exists()

    def test_a_hang_up_ignored_by_nohup_stays_ignored(self, fake, tmp_path):
        fake.act(start="hang")
        process = subprocess.Popen(["nohup", sys.executable, "-m", "quillmark_cli", str(EXAMPLES / "notice.md"),
                                    "-o", str(tmp_path / "notice.pdf")], cwd=str(tmp_path), env=fake.env,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        fake.wait_for_hang(process)
        process.send_signal(signal.SIGHUP)
        time.sleep(0.5)
        assert process.poll() is None
        process.send_signal(signal.SIGTERM)
        process.communicate(timeout=DEADLINE)
        assert process.returncode == 143 and all(gone(pid) for pid in fake.hung_pids())

    def test_libreoffice_does_not_outlive_a_killed_command(self, fake, tmp_path):
        fake.act(start="hang")
        process = subprocess.Popen([sys.executable, "-m", "quillmark_cli", str(EXAMPLES / "notice.md"), "-o",
                                    str(tmp_path / "notice.pdf")], cwd=str(tmp_path), env=fake.env,
                                   stderr=subprocess.PIPE, text=True)
        fake.wait_for_hang(process)
        process.kill()
        process.communicate(timeout=DEADLINE)
        assert all(gone(pid) for pid in fake.hung_pids())
        # Its keeper also removed what the command could not.
        deadline = time.monotonic() + 10
        while list(fake.tmp.iterdir()) and time.monotonic() < deadline:
            time.sleep(0.05)
        assert list(fake.tmp.iterdir()) == []


# LibreOffice does not start in reasonable time with a sanitizer's runtime
# preloaded; the plain runs render.
RENDERS = shutil.which("soffice") is not None and shutil.which("pdftotext") is not None and \
    "asan" not in os.environ.get("LD_PRELOAD", "")
needs_libreoffice = pytest.mark.skipif(not RENDERS, reason="LibreOffice and poppler-utils render and read the PDF")
TITLE, AUTHORITY, NUMBER = "关于开展2026年度安全生产检查工作的通知", "某市应急管理局", "某应急〔2026〕12号"
# The faces CI installs to stand in for the official fonts (scripts/install-fonts).
FACES = {"仿宋_GB2312": "FandolFang", "方正小标宋简体": "Noto Serif CJK SC", "宋体": "Noto Serif CJK SC",
         "黑体": "Noto Sans CJK SC", "楷体_GB2312": "AR PL UKai CN"}


def faces_installed():
    from quillmark_cli.output.pdf.fonts import installed_families

    listed = installed_families(None) or set()
    return all(name in listed for name in ("fandolfangr", "notoserifcjksc", "notosanscjksc", "arplukaicn"))


@pytest.fixture(scope="module")
def rendered(tmp_path_factory):
    """examples/notice.md as the command writes it: the .docx; and, where
    LibreOffice renders, two copies in one batch with two LibreOffice
    processes, and a PDF/A. Also the time around the conversions, and the
    batch's standard error."""
    work = tmp_path_factory.mktemp("rendered")
    for name in ("a.md", "b.md"):
        shutil.copy(str(EXAMPLES / "notice.md"), str(work / name))
    before = int(time.time())
    done = command("a.md", "-o", "notice.docx", env=os.environ, cwd=work)
    assert done.returncode == 0, done.stderr
    after = int(time.time())
    batch_errors = ""
    if RENDERS:
        done = command("a.md", "b.md", "--to", "pdf", "-d", "out", "-j", "2", env=os.environ, cwd=work)
        assert done.returncode == 0, done.stderr
        batch_errors = done.stderr
        done = command("a.md", "--pdf-a", "-o", "archival.pdf", env=os.environ, cwd=work)
        assert done.returncode == 0, done.stderr
    return SimpleNamespace(work=work, before=before, after=after, batch_errors=batch_errors)


def package_members(path):
    with zipfile.ZipFile(str(path)) as package:
        return {name: package.read(name) for name in package.namelist()}


def pdfinfo(path):
    out = subprocess.run(["pdfinfo", str(path)], capture_output=True, text=True, check=True).stdout
    return dict(line.split(":", 1) for line in out.splitlines() if ":" in line)


def pdf_fonts(path):
    """(name, embedded) of each font pdffonts lists."""
    out = subprocess.run(["pdffonts", str(path)], capture_output=True, text=True, check=True).stdout
    return [(line.split()[0], line.split()[-5]) for line in out.splitlines()[2:]]


class TestProperties:
    def test_the_package_says_what_it_is(self, rendered):
        from lxml import etree

        from schema import assert_schema_valid

        work = rendered.work
        members = package_members(work / "notice.docx")
        assert not any(b"python-docx" in members[name] for name in members if name.startswith("docProps/"))
        core = etree.fromstring(members["docProps/core.xml"])
        found = {etree.QName(e).localname: e.text for e in core}
        assert (found["title"], found["creator"], found["subject"]) == (TITLE, AUTHORITY, NUMBER)
        stamps = {time.mktime(time.strptime(found[key], "%Y-%m-%dT%H:%M:%SZ")) - time.timezone
                  for key in ("created", "modified")}
        assert len(stamps) == 1 and rendered.before <= stamps.pop() <= rendered.after
        application = members["docProps/app.xml"].decode()
        assert "<Application>quillmark</Application>" in application
        assert "Macintosh" not in application and "<Pages>" not in application
        # The default template's preview picture is gone, with its relationship and content type.
        assert "docProps/thumbnail.jpeg" not in members
        assert b"thumbnail" not in members["_rels/.rels"] and b'Extension="jpeg"' not in members["[Content_Types].xml"]
        assert_schema_valid((work / "notice.docx").read_bytes(), laid_out=True)

    def test_source_date_epoch_dates_the_document(self, tmp_path):
        env = dict(os.environ, SOURCE_DATE_EPOCH="1000000000")
        done = command(EXAMPLES / "notice.md", "-o", "notice.docx", env=env, cwd=tmp_path)
        assert done.returncode == 0, done.stderr
        core = package_members(tmp_path / "notice.docx")["docProps/core.xml"].decode()
        assert core.count("2001-09-09T01:46:40Z") == 2
        done = command(EXAMPLES / "notice.md", "-o", "bad.docx", env=dict(env, SOURCE_DATE_EPOCH="soon"),
                       cwd=tmp_path)
        assert done.returncode == 1 and "SOURCE_DATE_EPOCH is not a whole number of seconds: 'soon'" in done.stderr
        assert not (tmp_path / "bad.docx").exists()

    @needs_libreoffice
    def test_the_pdf_says_what_it_is_and_is_tagged(self, rendered):
        import pikepdf

        work = rendered.work
        info = {key: value.strip() for key, value in pdfinfo(work / "out" / "a.pdf").items()}
        assert (info["Title"], info["Author"], info["Subject"], info["Tagged"]) == (TITLE, AUTHORITY, NUMBER, "yes")
        with pikepdf.open(str(work / "out" / "a.pdf")) as pdf:
            assert "/StructTreeRoot" in pdf.Root and pdf.open_metadata().pdfa_status == ""

    @needs_libreoffice
    def test_pdf_a_is_archival_with_every_font_embedded(self, rendered):
        import pikepdf

        pdf_path = rendered.work / "archival.pdf"
        with pikepdf.open(str(pdf_path)) as pdf:
            metadata = pdf.open_metadata()
            assert (metadata["pdfaid:part"], metadata["pdfaid:conformance"]) == ("2", "B")
            assert metadata["dc:title"] == TITLE
            assert "/StructTreeRoot" in pdf.Root and "/OutputIntents" in pdf.Root
        fonts = pdf_fonts(pdf_path)
        assert fonts and all(embedded == "yes" for _, embedded in fonts)
        assert pdfinfo(pdf_path)["Tagged"].strip() == "yes"


@needs_libreoffice
class TestRealRendering:
    def test_two_libreoffice_processes_render_alike(self, rendered):
        from pdf_pages import layout

        work = rendered.work
        assert layout(work / "out" / "a.pdf") == layout(work / "out" / "b.pdf")

    def test_free_faces_stand_in_for_the_official_fonts(self, rendered):
        if not faces_installed() and not os.environ.get("CI"):
            pytest.skip("the stand-in faces are not installed here (scripts/install-fonts installs them)")
        work = rendered.work
        notes = [line for line in rendered.batch_errors.splitlines() if line.startswith(STAND_IN_NOTE)]
        assert len(notes) == 1
        assert set(notes[0][len(STAND_IN_NOTE):].split(", ")) == {"%s → %s" % pair for pair in FACES.items()}
        # The body (仿宋), the title (小标宋), the first- and second-level headings (黑体, 楷体): four faces.
        names = {re.sub(r"^[A-Z]{6}\+", "", name) for name, _ in pdf_fonts(work / "out" / "a.pdf")}
        for face in ("FandolFang-Regular", "NotoSerifCJK", "NotoSansCJK", "UKaiCN"):
            assert any(name.startswith(face) for name in names), names
        # The package keeps the template's names.
        assert "仿宋_GB2312".encode() in package_members(work / "notice.docx")["word/styles.xml"]

    def test_a_full_temporary_directory_is_said_in_one_line(self, tmp_path):
        tiny = tmp_path / "tiny"
        tiny.mkdir()
        source, = titled(tmp_path, "甲")
        script = "mount -t tmpfs -o size=300k tmpfs %s && exec \"$@\"" % tiny
        try:
            done = subprocess.run(["unshare", "-m", "sh", "-c", script, "sh", sys.executable, "-m", "quillmark_cli",
                                   str(source), "-o", str(tmp_path / "甲.pdf")], cwd=str(tmp_path),
                                  env=dict(os.environ, TMPDIR=str(tiny)), capture_output=True, text=True,
                                  timeout=180)
        except OSError:
            pytest.skip("no unshare here")
        if "mount" in done.stderr or "unshare" in done.stderr:
            pytest.skip("no file system of its own can be mounted here: %s" % done.stderr.strip())
        assert done.returncode == 1
        assert one_line(done.stderr) == ("quillmark: cannot write PDF: no space left in the temporary directory %s "
                                         "(set TMPDIR to a directory with room)" % tiny)
        assert not (tmp_path / "甲.pdf").exists()
