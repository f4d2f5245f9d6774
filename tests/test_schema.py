"""Every package the generator writes validates against the WordprocessingML
schemas: the examples, a package without template styles, and the checker
itself catching what it must."""

import io
import zipfile
from pathlib import Path

import pytest
from quillmark_cli.input.loading import load_input, load_template

from helpers import Quillmark, Template, generate, header, paragraph, style, title
from schema import assert_schema_valid, schema_errors

EXAMPLES = Path(__file__).resolve().parent.parent / "examples"


@pytest.mark.parametrize("name", ["default.json", "english.json", "notice.json"])
def test_the_examples_validate(name):
    config, document, template = load_input(EXAMPLES / name)[:3]
    assert_schema_valid(Quillmark(config).generate(document, template).data)


def test_the_notice_with_the_official_template_validates():
    config, document = load_input(EXAMPLES / "notice.json")[:2]
    template = load_template(EXAMPLES / "official-template.json").model
    assert_schema_valid(Quillmark(config).generate(document, template).data)


def test_a_package_without_template_styles_validates():
    assert_schema_valid(generate([], Template(styles=[])).data)


def test_bold_italic_and_underlined_styles_validate():
    template = Template(styles=[style("正文", bold=True, italic=True, underline=True),
                                style("Heading 1", bold=True), style("Plain", bold=False, italic=False)])
    items = [title("t", "正文"), header("h", 1), header("g", 3), paragraph("[a](u) b", "Plain")]
    assert_schema_valid(generate(items, template).data)


def test_the_check_reports_an_element_out_of_schema_order():
    """The check is only worth its name if it rejects what readers reject: a
    level whose children are out of sequence."""
    data = generate([]).data
    source = zipfile.ZipFile(io.BytesIO(data))
    numbering = source.read("word/numbering.xml").decode("utf-8")
    start = '<w:start w:val="1"/>'
    broken = numbering.replace(start, "", 1).replace("</w:lvl>", start + "</w:lvl>", 1)
    assert broken != numbering
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w") as target:
        for item in source.infolist():
            target.writestr(item, broken if item.filename == "word/numbering.xml" else source.read(item))
    assert list(schema_errors(out.getvalue())) == ["word/numbering.xml"]
