"""The quillmark command as a Unix tool: file modes and owners, special files
and standard streams, collisions, directories, interruption, hostile input,
parallel batches and the progress bar."""

import io
import json
import os
import pty
import re
import fcntl
import select
import shutil
import signal
import stat
import struct
import subprocess
import sys
import tempfile
import termios
import threading
import time
import zipfile
from pathlib import Path

import pytest

from test_cli import minimal, run, write_json

ROOT = os.geteuid() == 0
AS_NOBODY = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"]


def nobody_can_run_python():
    """Whether this interpreter runs as the unprivileged user nobody (it
    cannot where it lives under root's home)."""
    if not ROOT:
        return False
    try:
        return subprocess.run(AS_NOBODY + [sys.executable, "-c", "import quillmark_cli"], capture_output=True,
                              timeout=60).returncode == 0
    except OSError:
        return False


def command(*args):
    return [sys.executable, "-m", "quillmark_cli", *map(str, args)]


def parts(data):
    with zipfile.ZipFile(io.BytesIO(data)) as package:
        return {name: package.read(name) for name in package.namelist()}


def big(elements=3000):
    """An input that takes a noticeable moment to convert."""
    return minimal([{"type": "paragraph", "style_name": "正文", "text": "第%d条 [链接](https://a.example/%d)" % (i, i)}
                    for i in range(elements)])


class TestFiles:
    @pytest.mark.parametrize("umask, mode", [(0o022, 0o644), (0o002, 0o664), (0o077, 0o600)])
    def test_a_new_file_gets_the_mode_the_umask_allows(self, tmp_path, umask, mode):
        source = write_json(tmp_path / "in.json", minimal())
        done = subprocess.run(command(source, "-o", tmp_path / "out.docx"), cwd=str(tmp_path), capture_output=True,
                              preexec_fn=lambda: os.umask(umask), timeout=120)
        assert done.returncode == 0, done.stderr
        assert stat.S_IMODE(os.stat(str(tmp_path / "out.docx")).st_mode) == mode

    @pytest.mark.skipif(not ROOT, reason="giving a file to another owner needs root")
    def test_a_replaced_file_keeps_its_mode_and_owner(self, tmp_path):
        target = tmp_path / "out.docx"
        target.write_bytes(b"old")
        os.chmod(str(target), 0o640)
        os.chown(str(target), 65534, 65534)
        source = write_json(tmp_path / "in.json", minimal())
        assert run(source, "-o", target, cwd=tmp_path).returncode == 0
        status = os.stat(str(target))
        assert (stat.S_IMODE(status.st_mode), status.st_uid, status.st_gid) == (0o640, 65534, 65534)
        assert zipfile.is_zipfile(str(target))

    @pytest.mark.skipif(not nobody_can_run_python(), reason="needs root, and an interpreter nobody may run")
    def test_a_user_who_cannot_give_the_file_away_still_replaces_it(self):
        # pytest's own temporary directories are root's alone
        tmp_path = Path(tempfile.mkdtemp(prefix="quillmark-nobody-", dir="/tmp"))
        os.chmod(str(tmp_path), 0o777)
        target = tmp_path / "out.docx"
        target.write_bytes(b"old")
        os.chmod(str(target), 0o666)  # root's file, writable by all, in a directory all may write
        source = write_json(tmp_path / "in.json", minimal())
        os.chmod(str(source), 0o644)
        done = subprocess.run(AS_NOBODY + command(source, "-o", target), cwd=str(tmp_path), capture_output=True, text=True, timeout=120,
            env=dict(os.environ, HOME=str(tmp_path)))
        assert done.returncode == 0, done.stderr
        status = os.stat(str(target))
        shutil.rmtree(str(tmp_path))
        assert stat.S_IMODE(status.st_mode) == 0o666 and status.st_uid == 65534

    def test_a_fifo_is_written_into_not_replaced(self, tmp_path):
        fifo = tmp_path / "pipe"
        os.mkfifo(str(fifo))
        received = []
        reader = threading.Thread(target=lambda: received.append(fifo.read_bytes()), daemon=True)
        reader.start()
        done = run(write_json(tmp_path / "in.json", minimal()), "-o", fifo, cwd=tmp_path)
        reader.join(timeout=60)
        assert done.returncode == 0, done.stderr
        assert stat.S_ISFIFO(os.stat(str(fifo)).st_mode)
        assert zipfile.is_zipfile(io.BytesIO(received[0]))

    def test_a_device_or_a_pipe_behind_a_link_is_written_into(self, tmp_path):
        # Links of our own, so that a broken command could only replace them,
        # never the system's /dev/null or /dev/stdout.
        source = write_json(tmp_path / "in.json", minimal())
        (tmp_path / "null").symlink_to("/dev/null")
        (tmp_path / "stdout").symlink_to("/proc/self/fd/1")
        done = run(source, "-o", tmp_path / "null", cwd=tmp_path)
        assert done.returncode == 0, done.stderr
        assert stat.S_ISCHR(os.stat(str(tmp_path / "null")).st_mode)
        done = subprocess.run(command(source, "-o", tmp_path / "stdout"), cwd=str(tmp_path), capture_output=True,
                              timeout=120)
        assert done.returncode == 0, done.stderr
        assert zipfile.is_zipfile(io.BytesIO(done.stdout))
        assert os.path.islink(str(tmp_path / "stdout"))

    def test_standard_input_and_output(self, tmp_path):
        data = json.dumps(minimal()).encode("utf-8")
        done = subprocess.run(command("-", "-o", "-"), cwd=str(tmp_path), input=data, capture_output=True,
                              timeout=120)
        assert done.returncode == 0, done.stderr
        assert zipfile.is_zipfile(io.BytesIO(done.stdout)) and os.listdir(str(tmp_path)) == []

    def test_a_package_is_not_written_to_a_terminal(self, tmp_path):
        source = write_json(tmp_path / "in.json", minimal())
        status, output = in_terminal(command(source, "-o", "-"), tmp_path, stdout_too=True)
        assert status == 2
        assert output.strip().startswith("quillmark: standard output is a terminal")
        assert "PK" not in output


class TestPlanning:
    @pytest.mark.parametrize("layout", ["same name in two folders", "same file twice", "two extensions"])
    def test_two_inputs_writing_one_file_are_refused_before_anything_is_converted(self, tmp_path, layout):
        (tmp_path / "a").mkdir()
        (tmp_path / "b").mkdir()
        first = write_json(tmp_path / "a" / "doc.json", minimal())
        second = {"same name in two folders": tmp_path / "b" / "doc.json", "same file twice": first,
                  "two extensions": tmp_path / "a" / "doc.txt"}[layout]
        write_json(second, minimal())
        good = write_json(tmp_path / "good.json", minimal())
        done = run(good, first, second, "-d", tmp_path / "out", cwd=tmp_path)
        assert done.returncode == 2
        assert done.stderr.strip() == "quillmark: %s and %s would both be written to %s" % (
            first, second, tmp_path / "out" / "doc.docx")
        assert not (tmp_path / "out").exists() or os.listdir(str(tmp_path / "out")) == []

    def test_an_output_that_is_an_input_or_the_template_is_refused(self, tmp_path):
        source = write_json(tmp_path / "in.json", minimal())
        template = write_json(tmp_path / "t.json", minimal()["template"])
        before = source.read_bytes(), template.read_bytes()
        done = run(source, "-o", source, cwd=tmp_path)
        assert (done.returncode, done.stderr.strip()) == (2, "quillmark: the package of %s would replace itself"
                                                          % source)
        done = run(source, "-t", template, "-o", template, cwd=tmp_path)
        assert done.returncode == 2 and "would replace the template %s" % template in done.stderr
        assert (source.read_bytes(), template.read_bytes()) == before

    def test_an_output_directory(self, tmp_path):
        source = write_json(tmp_path / "notice.json", minimal())
        assert run(source, "-o", "new/", cwd=tmp_path).returncode == 0
        assert os.listdir(str(tmp_path / "new")) == ["notice.docx"]
        (tmp_path / "existing").mkdir()
        assert run(source, "-o", "existing", cwd=tmp_path).returncode == 0
        assert os.listdir(str(tmp_path / "existing")) == ["notice.docx"]
        assert run("-o", "example/", cwd=tmp_path).returncode == 0  # the bundled example: the File's own name
        assert os.listdir(str(tmp_path / "example")) == ["output.docx"]


class TestInterruption:
    @pytest.mark.parametrize("signum, status", [(signal.SIGINT, 130), (signal.SIGTERM, 143)])
    def test_a_batch_stops_cleanly(self, tmp_path, signum, status):
        inputs = [write_json(tmp_path / ("in%02d.json" % i), big()) for i in range(30)]
        out = tmp_path / "out"
        process = subprocess.Popen(command(*inputs, "-d", out, "-j", "1"), cwd=str(tmp_path),
                                   stderr=subprocess.PIPE, text=True)
        deadline = time.monotonic() + 120
        while not (out.exists() and any(name.endswith(".docx") for name in os.listdir(str(out)))):
            assert time.monotonic() < deadline and process.poll() is None
            time.sleep(0.02)
        process.send_signal(signum)
        _, stderr = process.communicate(timeout=120)
        assert process.returncode == status
        assert "Traceback" not in stderr
        written = os.listdir(str(out))
        assert all(name.endswith(".docx") and not name.startswith(".") for name in written)
        assert stderr.strip().splitlines()[-1] == "quillmark: interrupted: converted %d of 30 documents into %s" % (
            len(written), out)


class TestBadInput:
    @pytest.mark.parametrize("text, message", [
        ('{"document": {"elements": ' + "[" * 5000 + "]" * 5000 + "}}",
         "in.json: line 1 column 225: nested more than 200 levels deep"),
        (json.dumps(minimal([{"type": "header", "level": 0}])).replace('"level": 0', '"level": 1' + "0" * 5000),
         "in.json: document.elements[0].level: expected a JSON number, got a number of 5001 digits (at most 4300 are "
         "accepted)"),
        (json.dumps(minimal()).replace('"size": 12', '"size": NaN'),
         "in.json: template.styles[0].font.size: expected a JSON number, got NaN is not a JSON number"),
        (json.dumps(minimal()).replace('"size": 12', '"size": 1e999'),
         "in.json: template.styles[0].font.size: expected a JSON number, got a number out of range (1e999)"),
    ], ids=["deep", "long integer", "NaN", "infinite"])
    def test_json_python_cannot_hold(self, tmp_path, text, message):
        (tmp_path / "in.json").write_text(text, encoding="utf-8")
        done = run("in.json", cwd=tmp_path)
        assert (done.returncode, done.stderr.strip()) == (2, message)

    def test_a_byte_order_mark_is_accepted(self, tmp_path):
        (tmp_path / "in.json").write_bytes(b"\xef\xbb\xbf" + json.dumps(minimal()).encode("utf-8"))
        assert run("in.json", cwd=tmp_path).returncode == 0

    @pytest.mark.parametrize("change, message", [
        ({"level": 10}, "document.elements[0].level: expected a number <= 9"),
        ({"font": {"size": 1639}}, "template.styles[0].font.size: expected a number <= 1638"),
        ({"font": {"size": 0.5}}, "template.styles[0].font.size: expected a number >= 1"),
        ({"font": {"size": 10.25}}, "template.styles[0].font.size: expected a multiple of 0.5"),
        ({"font": {"bold": 1}}, "template.styles[0].font.bold: expected true or false or null"),
        ({"p_format": {"left_indent": -1585}}, "template.styles[0].p_format.left_indent: expected a number >= -1584"),
        ({"p_format": {"first_line_indent": 1585}},
         "template.styles[0].p_format.first_line_indent: expected a number <= 1584"),
        ({"p_format": {"line_spacing": 1600}}, "template.styles[0].p_format.line_spacing: expected a number <= 1584"),
        ({"p_format": {"space_before": -1}}, "template.styles[0].p_format.space_before: expected a number >= 0"),
    ])
    def test_values_word_cannot_use_are_refused_by_the_schema(self, tmp_path, change, message):
        data = minimal([{"type": "header", "style_name": "正文", "text": "h", "level": 1}])
        style = data["template"]["styles"][0]
        for key, value in change.items():
            if key == "level":
                data["document"]["elements"][0]["level"] = value
            else:
                style.setdefault(key, {}).update(value)
        done = run(write_json(tmp_path / "in.json", data), cwd=tmp_path)
        assert (done.returncode, done.stderr.strip()) == (2, "%s: %s" % (tmp_path / "in.json", message))

    @pytest.mark.parametrize("element, message", [
        ({"type": "paragraph", "style_name": "Bdy", "text": "x"},
         "document.elements[1].style_name: 'Bdy' is not a template style and the fallback style '正文' is not in "
         "the template either"),
        ({"type": "title", "text": "x"},
         "document.elements[1].style_name: not given, and the fallback style '正文' is not in the template"),
    ])
    def test_a_missing_fallback_style_is_explained_in_advance(self, tmp_path, element, message):
        data = minimal([{"type": "image", "style_name": "Bdy"}, element])
        data["template"]["styles"][0]["name"] = "Body"
        done = run(write_json(tmp_path / "in.json", data), cwd=tmp_path)
        assert (done.returncode, done.stderr.strip()) == (2, "%s: %s" % (tmp_path / "in.json", message))

    def test_the_first_invalid_element_is_named(self, tmp_path):
        data = minimal([{"type": "paragraph", "text": 1}, {"type": 2}, {"type": "header", "level": "x"}])
        done = run(write_json(tmp_path / "in.json", data), cwd=tmp_path)
        assert done.stderr.strip() == "%s: document.elements[0].text: expected a string or null" % (
            tmp_path / "in.json")

    def test_control_characters_in_names_and_messages_are_escaped(self, tmp_path):
        name = "evil\x1b[2J\nname.json"
        (tmp_path / name).write_text("{", encoding="utf-8")
        done = run(name, cwd=tmp_path)
        assert done.returncode == 2
        assert done.stderr == "evil\\x1b[2J\\x0aname.json: line 1 column 2: Expecting property name enclosed in " \
                              "double quotes\n"

    def test_print_schema_into_a_closed_pipe_or_a_full_device(self, tmp_path):
        reader, writer = os.pipe()
        os.close(reader)  # nobody will read
        try:
            done = subprocess.run(command("--print-schema"), stdout=writer, stderr=subprocess.PIPE, text=True,
                                  timeout=60)
        finally:
            os.close(writer)
        assert (done.returncode, done.stderr) == (1, "")
        with open("/dev/full", "wb") as full:
            done = subprocess.run(command("--print-schema"), stdout=full, stderr=subprocess.PIPE, text=True,
                                  timeout=60)
        assert (done.returncode, done.stderr) == (1, "quillmark: cannot write the schema: No space left on device\n")
        piped = subprocess.run("%s -m quillmark_cli --print-schema | head -1" % sys.executable, shell=True,
                               capture_output=True, text=True, timeout=60)
        assert (piped.stdout, piped.stderr) == ("{\n", "")


class TestBatches:
    def test_parallel_workers_give_what_one_process_gives(self, tmp_path):
        inputs = []
        for i in range(6):
            if i % 3 == 1:
                data = minimal([{"type": 7}])  # bad input
            elif i % 3 == 2:
                style = minimal()["template"]["styles"][0]
                data = dict(minimal(), template={"styles": [style, style]})  # a generator error
            else:
                data = minimal([{"type": "paragraph", "style_name": "正文", "text": "文%d [a](u%d)" % (i, i)}])
            inputs.append(write_json(tmp_path / ("in%d.json" % i), data))
        results = []
        for jobs in ("1", "3"):
            out = tmp_path / ("out" + jobs)
            done = run(*inputs, "-d", out, "-j", jobs, cwd=tmp_path)
            packages = {name: parts((out / name).read_bytes()) for name in sorted(os.listdir(str(out)))}
            results.append((done.returncode, done.stderr.replace(str(out), "OUT"), packages))
        assert results[0] == results[1]
        assert results[0][0] == 2 and len(results[0][2]) == 2
        lines = results[0][1].splitlines()
        assert [line.split(":")[0] for line in lines[:-1]] == [str(inputs[i]) for i in (1, 2, 4, 5)]


def in_terminal(argv, cwd, stdout_too=False):
    """Runs `argv` with standard error (and standard output) on a
    pseudo-terminal; returns the exit status and what the terminal got."""
    controller, terminal = pty.openpty()
    fcntl.ioctl(terminal, termios.TIOCSWINSZ, struct.pack("HHHH", 24, 100, 0, 0))
    process = subprocess.Popen(argv, cwd=str(cwd), stderr=terminal,
                               stdout=terminal if stdout_too else subprocess.DEVNULL)
    os.close(terminal)
    received = b""
    while True:
        ready, _, _ = select.select([controller], [], [], 60)
        if not ready:
            break
        try:
            chunk = os.read(controller, 65536)
        except OSError:  # the terminal closed
            break
        if not chunk:
            break
        received += chunk
    os.close(controller)
    return process.wait(timeout=60), received.decode("utf-8", "replace")


class TestProgress:
    def test_a_bar_on_a_terminal_with_error_lines_above_it(self, tmp_path):
        inputs = [write_json(tmp_path / "a.json", minimal()), write_json(tmp_path / "bad.json", minimal([{"x": 1}])),
                  write_json(tmp_path / "c.json", minimal())]
        status, screen = in_terminal(command(*inputs, "-d", tmp_path / "out", "-j", "1"), tmp_path)
        assert status == 2
        assert re.search(r"\d/3 \[\d\d:\d\d<", screen)  # the count, with elapsed and remaining time
        error = [line for line in screen.replace("\r\n", "\n").split("\n") if "bad.json:" in line]
        # what remains of the line on screen after its last carriage return
        assert [line.split("\r")[-1] for line in error] == [
            "%s: document.elements[0]: missing 'type'" % inputs[1]]

    def test_no_bar_for_one_input(self, tmp_path):
        status, screen = in_terminal(command(write_json(tmp_path / "a.json", minimal()), "-o", tmp_path / "a.docx"),
                                     tmp_path)
        assert status == 0 and "1/1" not in screen and screen.startswith("wrote ")


class TestFilesOnABadDay:
    def test_a_template_named_in_front_matter_is_never_an_output(self, tmp_path):
        template = write_json(tmp_path / "t.json", minimal()["template"])
        (tmp_path / "a.md").write_text("---\ntemplate: t.json\n---\n正文\n", encoding="utf-8")
        before = template.read_bytes()
        done = run("a.md", "-o", "t.json", cwd=tmp_path)
        assert (done.returncode, done.stderr) == (2, "quillmark: the package of a.md would replace the template "
                                                     "t.json that a.md names\n")
        assert template.read_bytes() == before

    @pytest.mark.parametrize("closed, argv, status, message", [
        (1, ["in.json", "-o", "-"], 1, "quillmark: cannot write to standard output: it is closed"),
        (1, ["--print-schema"], 1, "quillmark: cannot write the schema: standard output is closed"),
        (0, ["-", "-o", "out.docx"], 2, "standard input: cannot read: it is closed"),
    ])
    def test_a_closed_standard_stream_is_one_line(self, tmp_path, closed, argv, status, message):
        write_json(tmp_path / "in.json", minimal())
        done = subprocess.run(command(*argv), cwd=str(tmp_path), stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                              timeout=120, preexec_fn=lambda: os.close(closed))
        assert (done.returncode, done.stderr.decode()) == (status, message + "\n")
        assert sorted(os.listdir(str(tmp_path))) == ["in.json"]

    def test_a_link_is_written_through_and_its_target_keeps_its_mode(self, tmp_path):
        target = tmp_path / "real.docx"
        target.write_bytes(b"old")
        os.chmod(str(target), 0o2751 if ROOT else 0o751)
        (tmp_path / "link.docx").symlink_to("real.docx")
        assert run(write_json(tmp_path / "in.json", minimal()), "-o", "link.docx", cwd=tmp_path).returncode == 0
        assert os.readlink(str(tmp_path / "link.docx")) == "real.docx"
        assert zipfile.is_zipfile(str(target))
        assert stat.S_IMODE(os.stat(str(target)).st_mode) == (0o2751 if ROOT else 0o751)

    @pytest.mark.skipif(not ROOT, reason="giving a file to another owner needs root")
    def test_special_bits_survive_a_change_of_owner(self, tmp_path):
        target = tmp_path / "out.docx"
        target.write_bytes(b"old")
        os.chown(str(target), 65534, 65534)
        os.chmod(str(target), 0o6755)
        assert run(write_json(tmp_path / "in.json", minimal()), "-o", target, cwd=tmp_path).returncode == 0
        status = os.stat(str(target))
        assert (stat.S_IMODE(status.st_mode), status.st_uid) == (0o6755, 65534)

    def test_a_dangling_link_is_refused(self, tmp_path):
        (tmp_path / "out.docx").symlink_to("missing/nowhere.docx")
        done = run(write_json(tmp_path / "in.json", minimal()), "-o", "out.docx", cwd=tmp_path)
        assert (done.returncode, done.stderr) == (2, "quillmark: out.docx is a symbolic link to nothing: not "
                                                     "writing through it\n")

    @pytest.mark.parametrize("links", [{"out.docx": "out.docx"}, {"out.docx": "b", "b": "out.docx"}],
                             ids=["itself", "two links"])
    def test_a_loop_of_links_is_refused_as_a_loop(self, tmp_path, links):
        for name, target in links.items():
            (tmp_path / name).symlink_to(target)
        done = run(write_json(tmp_path / "in.json", minimal()), "-o", "out.docx", cwd=tmp_path)
        assert (done.returncode, done.stderr) == (2, "quillmark: out.docx is a symbolic link that loops back on "
                                                     "itself: not writing through it\n")

    @pytest.mark.parametrize("mode, privileged", [(0o444, False), (0o644, False), (0o444, True)],
                             ids=["read-only", "writable", "read-only, privileged"])
    def test_an_output_is_replaced_only_where_cp_would_write_it(self, tmp_path, mode, privileged):
        """A file the user may not write is refused as cp refuses it; root
        (with its privilege to override file modes) may, as with cp."""
        if privileged and not ROOT:
            pytest.skip("needs root")
        # Root without the privilege to override modes is a user like any other.
        user = [] if privileged or not ROOT else ["setpriv", "--bounding-set=-dac_override,-dac_read_search,-fowner"]
        source = write_json(tmp_path / "in.json", minimal())
        outcomes = []
        for target, tool in (("out.docx", command(source, "-o", "out.docx")),
                             ("copy.docx", ["cp", source, "copy.docx"])):
            (tmp_path / target).write_bytes(b"old")
            os.chmod(str(tmp_path / target), mode)
            done = subprocess.run(user + [str(part) for part in tool], cwd=str(tmp_path), capture_output=True,
                                  text=True, timeout=120)
            outcomes.append((done.returncode, (tmp_path / target).read_bytes() == b"old"))
            if target == "out.docx" and done.returncode:
                assert done.stderr == "out.docx: cannot write: Permission denied\n"
        assert outcomes[0] == outcomes[1]
        assert outcomes[0] == ((1, True) if mode == 0o444 and not privileged else (0, False))
        assert sorted(os.listdir(str(tmp_path))) == ["copy.docx", "in.json", "out.docx"]

    def test_dot_slash_dash_is_a_file(self, tmp_path):
        write_json(tmp_path / "-", minimal())
        done = run("./-", "-o", "./-.docx", cwd=tmp_path)
        assert done.returncode == 0 and done.stdout == "", done.stderr
        assert zipfile.is_zipfile(str(tmp_path / "-.docx"))
        done = run("./-", "-o", "./-", cwd=tmp_path)
        assert (done.returncode, done.stderr) == (2, "quillmark: the package of ./- would replace itself\n")

    def test_long_names(self, tmp_path):
        longest = "a" * 250  # its .docx name is the longest a file system allows
        source = write_json(tmp_path / (longest + ".json"), minimal())
        assert run(source.name, "-d", "out", cwd=tmp_path).returncode == 0
        assert os.listdir(str(tmp_path / "out")) == [longest + ".docx"]
        os.rename(str(source), str(tmp_path / (longest + "aa.j")))  # a name whose .docx name is too long
        done = run(longest + "aa.j", "-d", "out", cwd=tmp_path)
        assert done.returncode == 1 and done.stderr == "out/%saa.docx: cannot write: File name too long\n" % longest

    def test_separators_in_names_are_escaped(self, tmp_path):
        (tmp_path / "a\u2028b\u2029c.json").write_text("{", encoding="utf-8")
        done = run("a\u2028b\u2029c.json", cwd=tmp_path)
        assert done.stderr.startswith("a\\u2028b\\u2029c.json: line 1")

    @pytest.mark.parametrize("redirect", ["stdout", "fd/1", "/proc/self/fd/1"])
    def test_an_output_through_this_process_s_own_descriptor(self, tmp_path, redirect):
        # Links of our own, made as /dev/stdout and /dev/fd are: a broken
        # command can only replace them, never the system's.
        (tmp_path / "stdout").symlink_to("/proc/self/fd/1")
        (tmp_path / "fd").symlink_to("/proc/self/fd")
        source = write_json(tmp_path / "in.json", minimal())
        with open(str(tmp_path / "out.docx"), "wb") as out:
            done = subprocess.run(command(source, "-o", redirect), stdout=out, stderr=subprocess.PIPE,
                                  cwd=str(tmp_path), timeout=120)
        assert done.returncode == 0, done.stderr
        assert zipfile.is_zipfile(str(tmp_path / "out.docx"))
        assert os.path.islink(str(tmp_path / "stdout")) and os.path.islink(str(tmp_path / "fd"))

    def test_a_fifo_input_is_not_opened(self, tmp_path):
        """Refused unopened, a FIFO leaves its writer waiting for a reader,
        not killed by SIGPIPE."""
        fifo = tmp_path / "in.json"
        os.mkfifo(str(fifo))
        writer = subprocess.Popen(["sh", "-c", "printf '{}' > in.json"], cwd=str(tmp_path))
        try:
            done = run("in.json", "-o", "out.docx", cwd=tmp_path)
            assert (done.returncode, done.stderr) == (2, "in.json: a FIFO, not a regular file\n")
            time.sleep(0.2)
            assert writer.poll() is None  # still waiting for a reader
            assert fifo.read_bytes() == b"{}"
            assert writer.wait(timeout=60) == 0
        finally:
            writer.kill()

    @pytest.mark.parametrize("how", ["front matter", "-t", "input"])
    @pytest.mark.parametrize("special", ["/dev/zero", "fifo", "directory"])
    def test_only_regular_files_are_read(self, tmp_path, how, special):
        if special == "fifo":
            os.mkfifo(str(tmp_path / "fifo"))
        if special == "directory":
            (tmp_path / "directory").mkdir()
        kind = {"/dev/zero": "a device", "fifo": "a FIFO", "directory": "a directory"}[special]
        write_json(tmp_path / "in.json", minimal())
        (tmp_path / "in.md").write_text("---\ntemplate: %s\n---\nx\n" % special, encoding="utf-8")
        argv = {"front matter": ["in.md"], "-t": ["-t", special, "in.json"], "input": [special]}[how]
        done = run(*argv, "-o", "out.docx", cwd=tmp_path)
        where = {"front matter": "in.md: front matter: template: %s" % special}.get(how, special)
        assert (done.returncode, done.stderr) == (2, "%s: %s, not a regular file\n" % (where, kind))

    def test_standard_input_has_a_size_limit(self, tmp_path):
        done = subprocess.run("head -c 67108865 /dev/zero | %s -m quillmark_cli - -o out.docx" % sys.executable,
                              shell=True, cwd=str(tmp_path), capture_output=True, text=True, timeout=120)
        assert (done.returncode, done.stderr) == (2, "standard input: larger than 64 MiB, the limit for inputs "
                                                     "and templates\n")

    def test_an_input_that_cannot_be_read_is_a_file_system_failure(self, tmp_path):
        done = run("/proc/self/mem", "-o", "out.docx", cwd=tmp_path)  # a regular file that answers EIO
        assert (done.returncode, done.stderr) == (1, "/proc/self/mem: cannot read: Input/output error\n")

    def test_an_output_directory_is_made_only_for_a_package(self, tmp_path):
        bad = write_json(tmp_path / "bad.json", minimal([{"type": 1}]))
        done = run(bad, write_json(tmp_path / "bad2.json", {}), "-d", "out", cwd=tmp_path)
        assert done.returncode == 2 and not (tmp_path / "out").exists()


class TestStartUp:
    def test_a_run_imports_only_what_it_needs(self, tmp_path):
        source = write_json(tmp_path / "in.json", minimal())
        bad = write_json(tmp_path / "bad.json", minimal([{"type": 1}]))
        (tmp_path / "in.md").write_text("# 标题\n\n正文\n", encoding="utf-8")
        script = ("import sys\nfrom quillmark_cli.main import main\nstatus = main(sys.argv[1:])\n"
                  "print(' '.join(sorted({m.split('.')[0] for m in sys.modules} & {'jsonschema', 'tqdm', "
                  "'markdown_it', 'yaml', 'docx'})))")
        seen = [subprocess.run([sys.executable, "-c", script] + argv, cwd=str(tmp_path), capture_output=True,
                               text=True, timeout=120).stdout.strip()
                for argv in (["--print-schema"], [str(source), "-o", "out.docx"], ["in.md", "-o", "md.docx"],
                             [str(bad), "-o", "bad.docx"])]
        assert seen[0].endswith("}")
        # The reference validator gives the messages: only a bad input needs it.
        assert seen[1:] == ["docx", "docx markdown_it yaml", "jsonschema"]
