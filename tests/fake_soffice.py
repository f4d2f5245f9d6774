"""A stand-in for LibreOffice's soffice, for the faults a real one cannot be
made to show on demand. It converts as `soffice --convert-to pdf --outdir
DIR FILE...` does, file by file in the order given, into small PDFs that
hold the document's text, and, as LibreOffice does, makes a directory
lu<pid>... in $TMPDIR. Its environment changes what it does:

- FAKE_LOG: a file to which each run appends a JSON line (its pid, its
  arguments, its TMPDIR and HOME);
- FAKE_ACTIONS: JSON; "start" says what the run does before converting
  ("hang", "crash", "no-room", "flood"), and a file's name without .docx
  (the command numbers a batch's packages 000000, 000001, ...) what happens
  to that file ("ok", "empty", "junk", "skip", "hang", "crash",
  "crash-writing", or "slow" to take FAKE_SLOW seconds);
- FAKE_HUNG: a file to which a run appends its pid when it starts to hang.
"""

import json
import os
import re
import signal
import sys
import time
import zipfile


def text_of(path):
    with zipfile.ZipFile(path) as package:
        xml = package.read("word/document.xml").decode("utf-8")
    return "".join(re.findall(r"<w:t(?: [^>]*)?>([^<]*)</w:t>", xml))


def pdf(text):
    return b"%PDF-1.4\n% " + text.encode("utf-8") + b"\n%%EOF\n"


def hang():
    with open(os.environ["FAKE_HUNG"], "a") as hung:
        hung.write("%d\n" % os.getpid())
    time.sleep(3600)


def crash():
    sys.stdout.flush()
    os.kill(os.getpid(), signal.SIGSEGV)
    time.sleep(10)


def main(args):
    if os.environ.get("FAKE_LOG"):
        with open(os.environ["FAKE_LOG"], "a") as log:
            log.write(json.dumps({"pid": os.getpid(), "args": args, "tmpdir": os.environ.get("TMPDIR"),
                                  "home": os.environ.get("HOME")}) + "\n")
    actions = json.loads(os.environ.get("FAKE_ACTIONS") or "{}")
    os.mkdir(os.path.join(os.environ.get("TMPDIR") or "/tmp", "lu%dfake.tmp" % os.getpid()))
    start = actions.get("start")
    if start == "hang":
        hang()
    elif start == "crash":
        crash()
    elif start == "no-room":
        sys.stderr.write("LibreOffice 7.4 - Fatal Error: The application cannot be started. \nLibreOffice user "
                         "installation could not be completed due to insufficient free disk space.\n")
        return 77
    elif start == "flood":
        sys.stderr.write("x" * 5000000 + "\n")
        return 1
    out = args[args.index("--outdir") + 1]
    for path in args:
        if not path.endswith(".docx"):
            continue
        stem = os.path.basename(path)[:-len(".docx")]
        action = actions.get(stem, "ok")
        target = os.path.join(out, stem + ".pdf")
        if action == "skip":
            sys.stderr.write("Error: source file could not be loaded\n")
            continue
        if action == "hang":
            hang()
        if action == "crash":
            crash()
        if action == "slow":
            time.sleep(float(os.environ["FAKE_SLOW"]))
        if action == "crash-writing":
            with open(target, "wb") as written:
                written.write(pdf(text_of(path))[:12])
            crash()
        data = {"ok": pdf(text_of(path)), "slow": pdf(text_of(path)), "empty": b"",
                "junk": b"<html>not a PDF</html>"}[action]
        with open(target, "wb") as written:
            written.write(data)
        print("convert %s -> %s using filter : writer_pdf_Export" % (path, target))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
