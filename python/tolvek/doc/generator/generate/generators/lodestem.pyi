from abc import ABC, abstractmethod

from tolvek.doc.generator.generate.models import Config, Document, File, Template

class Lodestem(ABC):
    config: Config
    def __init__(self, config: Config) -> None: ...
    @abstractmethod
    def generate(self, document: Document, template: Template) -> File:
        """生成文件"""
