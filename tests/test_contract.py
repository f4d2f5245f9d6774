"""The modules and classes as a host sees them: names, attributes, the
abstract-class rules, argument handling and errors passing through."""

import importlib.util
import inspect
import pickle
import sys
from abc import ABCMeta

import pytest

from helpers import Config, Document, Template, generate, paragraph
from tolvek.doc.generator.generate.generators import lodestem, quillmark
from tolvek.doc.generator.generate.generators.lodestem import Lodestem
from tolvek.doc.generator.generate.generators.quillmark import Quillmark

PACKAGE = "tolvek.doc.generator.generate.generators"
MODULE_DUNDERS = ["__name__", "__doc__", "__package__", "__loader__", "__spec__", "__file__"]

# name, parameters after self with annotations, return annotation, docstring, defaults
QUILLMARK_METHODS = [
    ("generate", [("document", "Document"), ("template", "Template")], "File", None, None),
    ("add_paragraph", [("doc", "DocumentObject"), ("element", "Element"), ("template", "Template")], "None", None,
     None),
    ("_add_runs", [("paragraph", "DocxParagraph"), ("runs", "list")], "None",
     "添加富文本 runs 到段落\n\n        Args:\n            paragraph: docx 段落对象\n            runs: Run 对象列表\n        ",
     None),
    ("_add_text_content", [("paragraph", "DocxParagraph"), ("text", "str"), ("style_name", "str"), ("bold", "bool")],
     "None",
     "添加文本内容到段落（支持 Markdown 超链接转换）\n\n        Args:\n            paragraph: docx 段落对象\n"
     "            text: 文本内容\n            style_name: 样式名称\n            bold: 是否粗体\n        ",
     None),
    ("_init_numbering", [("doc", "DocumentObject")], "None", "初始化多级列表编号样式", None),
    ("set_styles", [("doc", "DocumentObject"), ("template", "Template")], "None", None, None),
    ("_set_font_style", [("doc_style", "Union[ParagraphStyle, CharacterStyle]"), ("style", "Style")], "None", None,
     None),
    ("_set_paragraph_format", [("doc_style", "ParagraphStyle"), ("style", "Style")], "None", None, None),
    ("save", [("doc", "DocumentObject")], "bytes", None, None),
    ("_add_hyperlink", [("paragraph", "DocxParagraph"), ("url", "str"), ("text", "str"), ("style_name", "str"),
                        ("bold", "bool")], "None", "添加超链接到段落", (False,)),
]
LODESTEM_METHODS = [
    ("__init__", [("config", "Config")], "None", None, None),
    ("generate", [("document", "Document"), ("template", "Template")], "File", "生成文件", None),
]


class TestModules:
    def test_lodestem_binds_its_names_in_order(self):
        assert list(vars(lodestem)) == MODULE_DUNDERS + [
            "ABC", "abstractmethod", "Config", "Document", "File", "Template", "Lodestem"]

    def test_quillmark_binds_its_names_in_order(self):
        assert list(vars(quillmark)) == MODULE_DUNDERS + [
            "re", "BytesIO", "Union", "PyDocxDocument", "DocumentObject", "WD_STYLE_TYPE", "WD_ALIGN_PARAGRAPH",
            "OxmlElement", "qn", "Pt", "RGBColor", "CharacterStyle", "ParagraphStyle", "DocxParagraph",
            "AlignmentTypes", "ElementTypes", "StyleNames", "Document", "Element", "File", "Style", "Template",
            "Lodestem", "align_map", "Quillmark"]

    def test_imported_names_are_the_libraries_own(self):
        import docx
        import docx.document
        from tolvek.doc.generator.generate import models

        assert quillmark.PyDocxDocument is docx.Document
        assert quillmark.DocumentObject is docx.document.Document
        assert quillmark.Document is models.Document
        assert quillmark.Lodestem is Lodestem

    def test_align_map_pairs_alignments_member_for_member(self):
        from docx.enum.text import WD_ALIGN_PARAGRAPH
        from tolvek.doc.generator.core.enums import AlignmentTypes

        assert list(quillmark.align_map.items()) == [
            (AlignmentTypes.LEFT, WD_ALIGN_PARAGRAPH.LEFT), (AlignmentTypes.CENTER, WD_ALIGN_PARAGRAPH.CENTER),
            (AlignmentTypes.RIGHT, WD_ALIGN_PARAGRAPH.RIGHT), (AlignmentTypes.JUSTIFY, WD_ALIGN_PARAGRAPH.JUSTIFY)]

    @pytest.mark.parametrize("module", [lodestem, quillmark])
    def test_module_attributes_come_from_the_import_spec(self, module):
        assert module.__package__ == PACKAGE
        assert module.__loader__ is module.__spec__.loader
        assert module.__file__ == module.__spec__.origin
        assert not hasattr(module, "__path__")

    @pytest.mark.parametrize("module", [lodestem, quillmark])
    def test_creating_the_module_again_returns_the_same_object(self, module):
        again = importlib.util.module_from_spec(module.__spec__)
        assert again is module
        classes = dict(vars(module))
        module.__spec__.loader.exec_module(again)
        assert vars(module) == classes

    def test_reimport_after_removal_from_sys_modules_gives_the_same_module(self, monkeypatch):
        monkeypatch.delitem(sys.modules, quillmark.__name__)
        assert importlib.import_module(quillmark.__name__) is quillmark


def describe(function):
    return (function.__name__, function.__qualname__, function.__module__, function.__doc__,
            list(function.__annotations__.items()), function.__defaults__)


class TestClasses:
    @pytest.mark.parametrize("cls, methods", [(Lodestem, LODESTEM_METHODS), (Quillmark, QUILLMARK_METHODS)])
    def test_methods_are_declared_in_class_body_order(self, cls, methods):
        assert [k for k in vars(cls) if k not in ("__module__", "__qualname__", "__doc__", "__abstractmethods__",
                                                  "_abc_impl", "__dict__", "__weakref__")] == [m[0] for m in methods]

    @pytest.mark.parametrize("cls, methods", [(Lodestem, LODESTEM_METHODS), (Quillmark, QUILLMARK_METHODS)])
    def test_methods_carry_their_python_attributes(self, cls, methods):
        for name, params, returns, doc, defaults in methods:
            assert describe(vars(cls)[name]) == (
                name, "%s.%s" % (cls.__name__, name), cls.__module__, doc, params + [("return", returns)], defaults)

    def test_classes(self):
        assert (Lodestem.__module__, Lodestem.__qualname__, Lodestem.__doc__) == (PACKAGE + ".lodestem", "Lodestem", None)
        assert (Quillmark.__module__, Quillmark.__qualname__, Quillmark.__doc__) == (
            PACKAGE + ".quillmark", "Quillmark", None)
        assert type(Lodestem) is ABCMeta and type(Quillmark) is ABCMeta
        assert Quillmark.__bases__ == (Lodestem,) and Lodestem.__bases__ == (quillmark.Lodestem.__bases__[0],)
        assert "__init__" not in vars(Quillmark)

    def test_signature_describes_the_method(self):
        assert str(inspect.signature(Quillmark._add_hyperlink)) == (
            "(self, paragraph: 'DocxParagraph', url: 'str', text: 'str', style_name: 'str', bold: 'bool' = False)"
            " -> 'None'")
        q = Quillmark(Config())
        assert str(inspect.signature(q.generate)) == "(document: 'Document', template: 'Template') -> 'File'"

    def test_methods_bind_like_functions(self):
        q = Quillmark(Config())
        bound = q.generate
        assert bound.__self__ is q and bound.__func__ is vars(Quillmark)["generate"]
        assert Quillmark.generate is vars(Quillmark)["generate"]
        assert "Quillmark.generate" in repr(Quillmark.generate)
        assert pickle.loads(pickle.dumps(Quillmark.save)) is Quillmark.save

    def test_defaults_are_used_and_can_be_replaced(self, blank):
        p = blank.add_paragraph()
        q = Quillmark(Config())
        q._add_hyperlink(p, "https://a.example", "x", "正文")
        assert p._p.xpath("./w:hyperlink/w:r/w:rPr/w:b") == []
        Quillmark._add_hyperlink.__defaults__ = (True,)
        try:
            q._add_hyperlink(p, "https://a.example", "y", "正文")
        finally:
            Quillmark._add_hyperlink.__defaults__ = (False,)
        assert len(p._p.xpath("./w:hyperlink/w:r/w:rPr/w:b")) == 1


class TestAbstractRules:
    def test_the_contract_cannot_be_instantiated(self):
        with pytest.raises(TypeError, match="abstract"):
            Lodestem(Config())
        assert Lodestem.__abstractmethods__ == frozenset({"generate"})
        assert Lodestem.generate.__isabstractmethod__ is True

    def test_a_subclass_needs_its_own_generate(self):
        class OnlyInit(Lodestem):
            def __init__(self, config):
                super().__init__(config)

        with pytest.raises(TypeError, match="abstract"):
            OnlyInit(Config())

        class Complete(OnlyInit):
            def generate(self, document, template):
                return super().generate(document, template)

        with pytest.raises(NotImplementedError) as raised:
            Complete(Config()).generate(None, None)
        assert raised.value.args == () and str(raised.value) == ""

    def test_quillmark_keeps_its_config_by_identity(self):
        config = Config(markdown=True)
        assert Quillmark(config).config is config
        assert Quillmark(config=None).config is None
        assert vars(Quillmark(config)) == {"config": config}


class TestArguments:
    @pytest.mark.parametrize("call, message", [
        (lambda: Quillmark(), "missing 1 required positional argument: 'config'"),
        (lambda: Quillmark(Template(), Config()), "takes 2 positional arguments but 3 were given"),
        (lambda: Quillmark(Config()).generate(Document()), "missing 1 required positional argument: 'template'"),
        (lambda: Quillmark(Config()).generate(), "missing 2 required positional arguments: 'document' and 'template'"),
        (lambda: Quillmark.generate(), "missing 3 required positional arguments: 'self', 'document', and 'template'"),
        (lambda: Quillmark(Config()).generate(Document(), Template(), x=1), "unexpected keyword argument 'x'"),
        (lambda: Quillmark(Config()).generate(Document(), document=Document(), template=Template()),
         "multiple values for argument 'document'"),
        (lambda: Quillmark(Config())._add_hyperlink(None, "u", "t", "s", True, 1),
         "takes from 5 to 6 positional arguments but 7 were given"),
        (lambda: Quillmark(Config()).save(**{1: 2}), "keywords must be strings"),
    ])
    def test_argument_errors_are_raised_before_the_body(self, call, message):
        with pytest.raises(TypeError, match=message):
            call()

    def test_every_parameter_can_be_given_by_keyword(self):
        result = Quillmark(config=Config()).generate(template=Template(), document=Document([]))
        assert result.name == "output.docx"


class TestErrorsPassThrough:
    def test_the_raised_object_reaches_the_caller_with_its_traceback(self):
        error = LookupError("from the model")

        class Broken:
            @property
            def type(self):
                raise error

        with pytest.raises(LookupError) as raised:
            generate([paragraph("before"), Broken()])
        assert raised.value is error
        assert raised.traceback[-1].name == "type"

    def test_a_subclass_callee_error_is_the_same_object(self):
        error = RuntimeError("callee")

        class Failing(Quillmark):
            def add_paragraph(self, doc, element, template):
                raise error

        with pytest.raises(RuntimeError) as raised:
            generate([paragraph("x")], generator_class=Failing)
        assert raised.value is error


class TestModuleNamesAreReadWhenUsed:
    def test_a_replaced_file_class_is_used(self, monkeypatch):
        class Recorded:
            def __init__(self, **kwargs):
                self.kwargs = kwargs

        monkeypatch.setattr(quillmark, "File", Recorded)
        result = generate([])
        assert isinstance(result, Recorded)
        assert sorted(result.kwargs) == ["data", "name"] and result.kwargs["name"] == "output.docx"

    def test_a_replaced_library_function_is_used(self, monkeypatch):
        made = []
        original = quillmark.OxmlElement

        def recording(tag, *args, **kwargs):
            made.append(tag)
            return original(tag, *args, **kwargs)

        monkeypatch.setattr(quillmark, "OxmlElement", recording)
        generate([])
        assert made[:2] == ["w:abstractNum", "w:lvl"]


def test_a_second_interpreter_is_refused(tmp_path):
    interpreters = pytest.importorskip("_xxsubinterpreters")
    if sys.version_info >= (3, 12):
        pytest.skip("subinterpreters created here have their own GIL and refuse every such module")
    out = tmp_path / "result.txt"
    code = (
        "try:\n"
        "    import tolvek.doc.generator.generate.generators.quillmark\n"
        "except ImportError as e:\n"
        "    result = 'ImportError: ' + str(e)\n"
        "else:\n"
        "    result = 'imported'\n"
        "open(%r, 'w').write(result)\n" % str(out))
    interp = interpreters.create()
    try:
        interpreters.run_string(interp, code)
    finally:
        interpreters.destroy(interp)
    assert out.read_text() == ("ImportError: Interpreter change detected - this module can only be loaded into one "
                               "interpreter per process.")
    assert generate([paragraph("still works")]).name == "output.docx"
