"""The official template that ships with the command: the standard's page
(A4, its margins, 22 lines of 28 characters, page numbers) and styles that
set its fonts (the title in 2号小标宋, first-level headings in 黑体, second in
楷体, third in 仿宋 bold, the body in 3号仿宋 on the grid's lines). Markdown
inputs without a template of their own use it."""

from pathlib import Path

OFFICIAL_TEMPLATE_PATH = Path(__file__).with_name("official-template.json")
