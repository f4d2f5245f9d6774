"""Front matter's YAML read as PyYAML's safe loader reads it, but without its
exceptions from outside YAML: a plain scalar written like a date that the
calendar does not have (2026-02-30) stays in the value as an ImpossibleDate,
for the key that holds it to refuse with its place, and a value its explicit
tag cannot hold (!!int abc) is a YAML error with its line."""

import functools

import yaml

from quillmark_cli.input.dates import calendar_problem

YAMLError = yaml.YAMLError



class ImpossibleDate:
    """A scalar YAML reads as a date, or a date and time, that does not
    exist; `text` is as written, `problem` says why."""

    def __init__(self, text, problem, with_time):
        self.text, self.problem, self.with_time = text, problem, with_time

    def __str__(self):
        return self.text

    def __repr__(self):
        return "ImpossibleDate(%r)" % self.text

    def __eq__(self, other):
        return isinstance(other, ImpossibleDate) and other.text == self.text

    def __hash__(self):
        return hash(self.text)


def _problem(values):
    """Why a timestamp's parts make no date or time."""
    problem = calendar_problem(int(values["year"]), int(values["month"]), int(values["day"]))
    if problem is not None:
        return problem
    if values["hour"] and (int(values["hour"]) > 23 or int(values["minute"]) > 59 or int(values["second"]) > 59):
        return "there is no such time of day"
    return "there is no such time zone"


class _Loader(yaml.SafeLoader):
    def construct_yaml_timestamp(self, node):
        match = self.timestamp_regexp.match(node.value)
        if match is None:  # an explicit !!timestamp on other text
            raise yaml.constructor.ConstructorError(None, None, "%r is not a date" % node.value, node.start_mark)
        try:
            return super().construct_yaml_timestamp(node)
        except ValueError:
            values = match.groupdict()
            return ImpossibleDate(node.value, _problem(values), bool(values["hour"]))

    def construct_object(self, node, deep=False):
        try:
            return super().construct_object(node, deep)
        except (ValueError, TypeError, KeyError, IndexError, AttributeError, OverflowError):
            tag = node.tag.rsplit(":", 1)[-1]
            raise yaml.constructor.ConstructorError(None, None, "%r cannot be read as %s" % (node.value, tag),
                                                    node.start_mark) from None


_Loader.add_constructor("tag:yaml.org,2002:timestamp", _Loader.construct_yaml_timestamp)


# Front matter is read when the command plans where packages go (for the
# template it names) and again when the input is converted; the second
# time, the value is remembered. It is never changed by those who read it.
_REMEMBERED_CHARACTERS = 65536


@functools.lru_cache(maxsize=64)
def _remembered(text):
    return yaml.load(text, Loader=_Loader)


def load_yaml(text):
    """The value of the YAML `text`; raises yaml.YAMLError. The value may be
    shared with an earlier call for the same text: it must not be
    changed."""
    if len(text) <= _REMEMBERED_CHARACTERS:
        return _remembered(text)
    return yaml.load(text, Loader=_Loader)
