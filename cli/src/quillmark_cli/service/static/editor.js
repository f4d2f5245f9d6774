// The editor page: the notice in CodeMirror, its pages rendered by the
// server half a second after typing stops (one render in flight at a time;
// an edit made meanwhile is sent when it comes back, in place of the ones
// before it), its problems listed with their lines, and its .docx and PDF
// downloaded. Everything shown that came from the text or the server is set
// as text, never as markup.
"use strict";

(function () {
  var PAUSE_MS = 500;
  var A4_WIDTH_INCHES = 210 / 25.4;

  var editor = CodeMirror.fromTextArea(document.getElementById("source"), {
    mode: {name: "yaml-frontmatter", base: "markdown"},
    lineNumbers: true,
    lineWrapping: true,
    autofocus: true
  });
  var status = document.getElementById("status");
  var pages = document.getElementById("pages");
  var message = document.getElementById("preview-message");
  var problems = document.getElementById("problems");
  var problemList = document.getElementById("problem-list");
  var warnings = document.getElementById("warnings");
  var warningList = document.getElementById("warning-list");
  var pdfButton = document.getElementById("download-pdf");

  var timer = null;
  var inFlight = false;
  var edited = false; // an edit came while a render was in flight
  var marked = [];

  function say(text) {
    status.textContent = text;
  }

  function dpi() {
    var pixels = Math.min(pages.clientWidth || 794, 794) * (window.devicePixelRatio || 1);
    return Math.max(48, Math.min(200, Math.round(pixels / A4_WIDTH_INCHES)));
  }

  function post(path, text) {
    return fetch(path, {
      method: "POST",
      headers: {"Content-Type": "text/markdown"},
      body: text
    });
  }

  // The JSON of an answer, or what stands in for it when it is not JSON.
  function answer(response) {
    return response.json().catch(function () {
      return {error: "failed", message: "the server answered " + response.status};
    });
  }

  function clearMarks() {
    marked.forEach(function (line) {
      editor.removeLineClass(line, "background", "problem-line");
    });
    marked = [];
  }

  function goTo(line, column) {
    editor.setCursor({line: line - 1, ch: column ? column - 1 : 0});
    editor.scrollIntoView(null, 80);
    editor.focus();
  }

  function fillList(list, container, items, mark) {
    list.textContent = "";
    items.forEach(function (item) {
      var entry = document.createElement("li");
      if (item.line) {
        var place = document.createElement("button");
        place.type = "button";
        place.className = "place";
        place.textContent = "line " + item.line;
        place.addEventListener("click", function () {
          goTo(item.line, item.column);
        });
        entry.appendChild(place);
        if (mark && item.line <= editor.lineCount()) {
          marked.push(editor.addLineClass(item.line - 1, "background", "problem-line"));
        }
      }
      var text = document.createElement("span");
      text.className = "message";
      text.textContent = item.message;
      entry.appendChild(text);
      list.appendChild(entry);
    });
    container.hidden = items.length === 0;
  }

  function showProblems(found, warned) {
    clearMarks();
    fillList(problemList, problems, found || [], true);
    fillList(warningList, warnings, warned || [], false);
  }

  function showMessage(text) {
    message.textContent = text;
    message.hidden = !text;
  }

  function showPages(rendered) {
    while (pages.children.length > rendered.length) {
      pages.removeChild(pages.lastChild);
    }
    rendered.forEach(function (page, index) {
      var image = pages.children[index];
      if (!image) {
        image = document.createElement("img");
        pages.appendChild(image);
      }
      image.alt = "Page " + (index + 1);
      image.width = page.width;
      image.height = page.height;
      image.src = "data:image/png;base64," + page.png;
    });
    pages.classList.remove("stale");
  }

  function shown(response, body, started) {
    if (response.ok) {
      showProblems([], body.warnings);
      showMessage("");
      showPages(body.pages);
      var count = body.page_count === 1 ? "1 page" : body.page_count + " pages";
      if (body.pages.length < body.page_count) {
        count += ", the first " + body.pages.length + " shown";
      }
      say("Up to date: " + count + ", rendered in " + Math.round(performance.now() - started) + " ms");
      return;
    }
    pages.classList.add("stale");
    if (response.status === 422) {
      showProblems(body.problems, body.warnings);
      say(body.problems.length === 1 ? "1 problem" : body.problems.length + " problems");
      return;
    }
    showProblems([], []);
    if (body.error === "no-renderer") {
      pdfButton.disabled = true;
      pdfButton.title = body.message;
      showMessage("No page preview: " + body.message + ". The .docx downloads as usual.");
      say("Checked: no problems");
      return;
    }
    if (response.status === 503) {
      var seconds = parseInt(response.headers.get("Retry-After") || "1", 10);
      say("The server is busy; trying again in " + seconds + " s");
      schedule(seconds * 1000);
      return;
    }
    showMessage(body.message);
    say("The preview failed");
  }

  function render() {
    timer = null;
    if (inFlight) {
      edited = true;
      return;
    }
    inFlight = true;
    edited = false;
    var started = performance.now();
    say("Rendering…");
    post("api/preview?dpi=" + dpi(), editor.getValue())
      .then(function (response) {
        return answer(response).then(function (body) {
          // A newer text is waiting: its render replaces this one's.
          if (!edited) {
            shown(response, body, started);
          }
        });
      })
      .catch(function () {
        say("Cannot reach the server");
      })
      .then(function () {
        inFlight = false;
        if (edited) {
          render();
        }
      });
  }

  function schedule(delay) {
    if (timer !== null) {
      clearTimeout(timer);
    }
    timer = setTimeout(render, delay);
  }

  // The line after the front matter (whose YAML comments look like headings).
  function bodyStart() {
    if (!/^---\s*$/.test(editor.getLine(0))) {
      return 0;
    }
    for (var line = 1; line < editor.lineCount(); line++) {
      if (/^(---|\.\.\.)\s*$/.test(editor.getLine(line))) {
        return line + 1;
      }
    }
    return 0;
  }

  // The download's name: the notice's title, where it has one.
  function fileName(extension) {
    var title = "";
    for (var line = bodyStart(); line < editor.lineCount(); line++) {
      var text = editor.getLine(line);
      if (/^# /.test(text)) {
        title = text.slice(2).replace(/[\\/:*?"<>|\u0000-\u001f]/g, "").trim().slice(0, 80);
        break;
      }
    }
    return (title || "notice") + extension;
  }

  function save(blob, name) {
    var url = URL.createObjectURL(blob);
    var link = document.createElement("a");
    link.href = url;
    link.download = name;
    document.body.appendChild(link);
    link.click();
    link.remove();
    setTimeout(function () { URL.revokeObjectURL(url); }, 60000);
  }

  function download(kind, extension) {
    say("Preparing the " + extension + "…");
    post("api/" + kind, editor.getValue())
      .then(function (response) {
        if (response.ok) {
          return response.blob().then(function (blob) {
            save(blob, fileName(extension));
            say("Downloaded " + fileName(extension));
          });
        }
        return answer(response).then(function (body) {
          if (response.status === 422) {
            showProblems(body.problems, body.warnings);
            say("Not downloaded: fix the problems first");
          } else {
            say("Not downloaded: " + body.message);
          }
        });
      })
      .catch(function () {
        say("Cannot reach the server");
      });
  }

  editor.on("changes", function () {
    say("Editing…");
    schedule(PAUSE_MS);
  });
  document.getElementById("download-docx").addEventListener("click", function () {
    download("docx", ".docx");
  });
  pdfButton.addEventListener("click", function () {
    download("pdf", ".pdf");
  });
  render();
}());
