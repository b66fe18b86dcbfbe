#!/usr/bin/python3
"""Reads vCard files with python3-vobject, refusing what it cannot parse, and checks what
CardDAV servers and strict readers insist on: VERSION, FN, N and a UID unique in the
file on every card, and birthdays that are real dates.

Usage: strict_vcard.py FILE...   Exit 0 when every card passes; 1 with one line a fault."""
import datetime
import re
import sys

import vobject


def real_date(text):
    m = re.fullmatch(r"(\d{4})-?(\d{2})-?(\d{2})", text)
    if m:
        datetime.date(int(m[1]), int(m[2]), int(m[3]))
        return True
    m = re.fullmatch(r"--(\d{2})-?(\d{2})", text)  # a birthday without a year
    if m:
        datetime.date(2000, int(m[1]), int(m[2]))  # a leap year, so --0229 exists
        return True
    return False


def check(path):
    faults = []
    with open(path, encoding="utf-8", newline="") as f:
        text = f.read()
    if "\r\n" not in text or text.replace("\r\n", "").find("\n") >= 0:
        faults.append("line ends are not CR LF")
    cards = 0
    uids = set()
    for card in vobject.readComponents(text, validate=True, ignoreUnreadable=False):
        cards += 1
        where = "%s card %d" % (path, cards)
        if card.name != "VCARD":
            faults.append("%s: a %s, not a VCARD" % (where, card.name))
            continue
        for prop in ("version", "fn", "n", "uid"):
            if prop not in card.contents:
                faults.append("%s: no %s" % (where, prop.upper()))
        if "version" in card.contents and card.version.value != "3.0":
            faults.append("%s: VERSION %s" % (where, card.version.value))
        if "fn" in card.contents and not card.fn.value.strip():
            faults.append("%s: empty FN" % where)
        if "uid" in card.contents:
            uid = card.uid.value
            if uid in uids:
                faults.append("%s: UID %s twice" % (where, uid))
            uids.add(uid)
        for bday in card.contents.get("bday", []):
            try:
                ok = real_date(bday.value)
            except ValueError:
                ok = False
            if not ok:
                faults.append("%s: BDAY %s is no real date" % (where, bday.value))
    if cards == 0:
        faults.append("%s: no card" % path)
    return cards, faults


def main(paths):
    total = 0
    faults = []
    for path in paths:
        try:
            n, f = check(path)
        except Exception as e:  # vobject's parse errors: the file is not strict vCard
            n, f = 0, ["%s: %s: %s" % (path, type(e).__name__, e)]
        total += n
        faults += f
    for line in faults:
        print(line)
    print("%d cards in %d files, %d faults" % (total, len(paths), len(faults)))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
