"""Fixtures shared by the tests."""

import docx
import pytest

from helpers import Config, Quillmark, official_template


@pytest.fixture
def generator():
    return Quillmark(Config(markdown=True))


@pytest.fixture
def blank():
    """A fresh python-docx document with our numbering and the official styles."""
    doc = docx.Document()
    q = Quillmark(Config(markdown=True))
    q._init_numbering(doc)
    q.set_styles(doc, official_template())
    return doc
