"""Dates as an official document gives them: read from an ISO date
(2026-12-08) or from the written form (2026年12月8日), checked against the
calendar, and written in the written form."""

import datetime
import re

# In English whatever the locale: messages are.
_MONTHS = ("January", "February", "March", "April", "May", "June", "July", "August", "September", "October",
           "November", "December")
FORMS = "2026年12月8日 or 2026-12-08"
_FORMS = (re.compile(r"([0-9]{4})-([0-9]{1,2})-([0-9]{1,2})\Z"),
          re.compile(r"([0-9]{4})年([0-9]{1,2})月([0-9]{1,2})日\Z"))


class NoSuchDate(ValueError):
    """A date written in one of the forms that the calendar does not have."""


def calendar_problem(year, month, day):
    """Why year-month-day is not a day of the calendar, or None."""
    if year < datetime.MINYEAR:
        return "there is no year %d" % year
    if not 1 <= month <= 12:
        return "there is no month %d" % month
    days = 31 if month == 12 else (datetime.date(year, month + 1, 1) - datetime.date(year, month, 1)).days
    if not 1 <= day <= days:
        return "%s %d has %d days" % (_MONTHS[month - 1], year, days) if day else "there is no day 0"
    return None


def read_date(text):
    """The date `text` gives in one of the forms; None when it is in neither,
    NoSuchDate when the calendar has no such day."""
    for form in _FORMS:
        found = form.match(text)
        if found:
            year, month, day = (int(part) for part in found.groups())
            problem = calendar_problem(year, month, day)
            if problem is not None:
                raise NoSuchDate("no such date: " + problem)
            return datetime.date(year, month, day)
    return None


def written_date(date):
    """A date as the standard writes it: 2026年12月8日."""
    return "%d年%d月%d日" % (date.year, date.month, date.day)
