"""Command-line conversion of JSON documents into .docx packages."""

__version__ = "0.2.0"
