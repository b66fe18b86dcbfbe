#!/usr/bin/python3
"""Strict judge of iCalendar files: reads each file with Debian's python3-icalendar (and,
when present, python3-vobject with validation) and checks what strict parsers, calendar
clients and CalDAV servers insist on. Prints every fault; exit status 1 when any.

usage: strict_ical.py FILE.ics [...]
"""
import datetime
import re
import sys

import icalendar

try:
    import vobject
except ImportError:  # the judge still works without it
    vobject = None

RECORD_COMPONENTS = ("VEVENT", "VTODO", "VJOURNAL")
DATE_PROPS = ("DTSTART", "DTEND", "DUE", "COMPLETED", "RECURRENCE-ID", "DTSTAMP", "CREATED", "LAST-MODIFIED")
STAMP = re.compile(r"^\d{8}T\d{6}Z$")
DATE = re.compile(r"^(\d{4})(\d{2})(\d{2})$")
DATE_TIME = re.compile(r"^(\d{4})(\d{2})(\d{2})T(\d{2})(\d{2})(\d{2})Z?$")


def unfolded_lines(raw, faults):
    if not raw.endswith(b"\r\n"):
        faults.append("the file does not end with CR LF")
    physical = raw.split(b"\r\n")
    for n, line in enumerate(physical[:-1], 1):
        if len(line) > 75:
            faults.append("line %d: %d octets (at most 75)" % (n, len(line)))
        if b"\n" in line or b"\r" in line:
            faults.append("line %d: a bare CR or LF" % n)
    text = raw.decode("utf-8")
    lines = []
    for line in text.split("\r\n"):
        if line[:1] in (" ", "\t") and lines:
            lines[-1] += line[1:]
        elif line:
            lines.append(line)
    return lines


def real_date(y, m, d):
    try:
        datetime.date(int(y), int(m), int(d))
        return True
    except ValueError:
        return False


def check_lines(lines, faults):
    """What the parsers may pass over: real dates and VALUE=DATE on every date value."""
    stack = []
    for line in lines:
        name_params, _, value = line.partition(":")
        parts = name_params.split(";")
        name = parts[0].upper()
        params = {p.split("=", 1)[0].upper(): p.split("=", 1)[1] if "=" in p else "" for p in parts[1:]}
        if name == "BEGIN":
            stack.append(value.upper())
            continue
        if name == "END":
            if not stack or stack[-1] != value.upper():
                faults.append("END:%s closes %s" % (value, stack[-1] if stack else "nothing"))
            else:
                stack.pop()
            continue
        if any(ord(c) < 0x20 and c != "\t" for c in value):
            faults.append("%s: a control character in the value" % name)
        if name not in DATE_PROPS or (stack and stack[-1] in ("STANDARD", "DAYLIGHT")):
            continue
        for v in value.split(","):
            m = DATE.match(v)
            if m:
                if params.get("VALUE", "").upper() != "DATE":
                    faults.append("%s:%s is a date without VALUE=DATE" % (name, v))
                if not real_date(*m.groups()):
                    faults.append("%s:%s is no real date" % (name, v))
                continue
            m = DATE_TIME.match(v)
            if not m:
                faults.append("%s:%s is no date or time" % (name, v))
                continue
            y, mo, d, h, mi, s = m.groups()
            if not real_date(y, mo, d) or int(h) > 23 or int(mi) > 59 or int(s) > 60:
                faults.append("%s:%s is no real date and time" % (name, v))
            if name in ("DTSTAMP", "COMPLETED", "CREATED", "LAST-MODIFIED") and not STAMP.match(v):
                faults.append("%s:%s must be UTC" % (name, v))
    if stack:
        faults.append("%s is never closed" % stack[-1])


def as_utc_or_naive(value):
    if isinstance(value, datetime.datetime):
        return value.replace(tzinfo=None) if value.tzinfo is None else value.astimezone(datetime.timezone.utc).replace(tzinfo=None)
    return datetime.datetime(value.year, value.month, value.day)


def check_calendar(cal, faults, uids):
    if cal.get("VERSION") is None or str(cal.get("VERSION")) != "2.0":
        faults.append("VCALENDAR without VERSION:2.0")
    if cal.get("PRODID") is None:
        faults.append("VCALENDAR without PRODID")
    count = 0
    for comp in cal.walk():
        errors = getattr(comp, "errors", None)
        if errors:
            faults.append("%s: parse errors %r" % (comp.name, errors))
        if comp.name not in RECORD_COMPONENTS:
            continue
        count += 1
        uid = comp.get("UID")
        if uid is None or not str(uid):
            faults.append("%s without UID" % comp.name)
        elif str(uid) in uids:
            faults.append("UID %s twice" % uid)
        else:
            uids.add(str(uid))
        if comp.get("DTSTAMP") is None:
            faults.append("%s %s without DTSTAMP" % (comp.name, uid))
        try:
            start = comp.decoded("DTSTART") if "DTSTART" in comp else None
            for end_name in ("DTEND", "DUE"):
                if end_name in comp and start is not None:
                    end = comp.decoded(end_name)
                    if type(end) is not type(start):
                        faults.append("%s %s: DTSTART and %s of different types" % (comp.name, uid, end_name))
                    elif as_utc_or_naive(end) < as_utc_or_naive(start) or (
                            end_name == "DUE" and as_utc_or_naive(end) == as_utc_or_naive(start)):
                        faults.append("%s %s: %s before DTSTART" % (comp.name, uid, end_name))
            for prop in DATE_PROPS:
                if prop in comp:
                    comp.decoded(prop)
            if "RRULE" in comp:
                comp.decoded("RRULE")
            for alarm in comp.walk("VALARM"):
                if "TRIGGER" not in alarm or "ACTION" not in alarm:
                    faults.append("%s %s: VALARM without TRIGGER or ACTION" % (comp.name, uid))
                alarm.decoded("TRIGGER")
        except Exception as e:  # any value the parser cannot decode is a fault
            faults.append("%s %s: %s" % (comp.name, uid, e))
    return count


def judge(path):
    faults = []
    raw = open(path, "rb").read()
    try:
        lines = unfolded_lines(raw, faults)
    except UnicodeDecodeError as e:
        return ["not UTF-8: %s" % e], 0
    check_lines(lines, faults)
    count = 0
    try:
        cals = icalendar.Calendar.from_ical(raw, multiple=True)
        uids = set()
        for cal in cals:
            count += check_calendar(cal, faults, uids)
    except Exception as e:
        faults.append("icalendar refuses the file: %s" % e)
    if vobject is not None:
        try:
            for comp in vobject.readComponents(raw.decode("utf-8"), validate=True):
                comp.serialize()
        except Exception as e:
            faults.append("vobject refuses the file: %s" % e)
    return faults, count


def main(argv):
    if len(argv) < 2:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    bad = 0
    for path in argv[1:]:
        faults, count = judge(path)
        if faults:
            bad += 1
            for f in faults:
                print("%s: %s" % (path, f))
        else:
            print("%s: ok, %d components" % (path, count))
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
