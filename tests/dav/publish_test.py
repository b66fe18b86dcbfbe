#!/usr/bin/python3
"""tessera-cli publish against a real CardDAV/CalDAV server: Debian's Radicale on a free
127.0.0.1 port, with its storage and a password file in a temporary folder. Publishes every
sample, again (nothing sent), after an edit (one updated), after a removal with
--delete-missing (one deleted, a foreign card kept), and checks what the server holds against
the records with python3-vobject and python3-icalendar; then the failures a user meets: a
wrong password, a closed port, a server that is no DAV server. The server is stopped in
every case.

usage: publish_test.py TESSERA_CLI SAMPLES_DIR
"""
import base64
import csv
import http.client
import http.server
import io
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time

import icalendar
import vobject

PYTHON = "/usr/bin/python3"
USER, PASSWORD = "tessera", "s3cret pass"
BOOK, CALENDAR = "/%s/contacts/" % USER, "/%s/calendar/" % USER
PUBLISHED = ["phonebook.tsr", "cards.tsr", "schedule.tsr", "anniversary.tsr",
             "anniversary-week.tsr", "actions.tsr"]
CARD_KINDS = ("phonebook.tsr", "cards.tsr")

MKCOL_BOOK = b"""<?xml version="1.0" encoding="utf-8"?>
<D:mkcol xmlns:D="DAV:" xmlns:CR="urn:ietf:params:xml:ns:carddav"><D:set><D:prop>
<D:resourcetype><D:collection/><CR:addressbook/></D:resourcetype></D:prop></D:set></D:mkcol>"""

failures = []


def check(cond, what):
    if not cond:
        failures.append(what)
        print("FAIL:", what, flush=True)
    return cond


def free_port():
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


class Radicale:
    def __init__(self, root):
        self.dir = os.path.join(root, "server")
        os.makedirs(self.dir)
        self.port = free_port()
        users = os.path.join(self.dir, "users")
        with open(users, "w") as f:
            f.write("%s:%s\n" % (USER, PASSWORD))
        config = os.path.join(self.dir, "config")
        with open(config, "w") as f:
            f.write("[server]\nhosts = 127.0.0.1:%d\n\n[auth]\ntype = htpasswd\nhtpasswd_filename = %s\n"
                    "htpasswd_encryption = plain\n\n[rights]\ntype = owner_only\n\n[storage]\n"
                    "filesystem_folder = %s\n\n[web]\ntype = none\n\n[logging]\nlevel = warning\n"
                    % (self.port, users, os.path.join(self.dir, "collections")))
        self.log = open(os.path.join(self.dir, "server.log"), "w+")
        self.proc = subprocess.Popen([PYTHON, "-m", "radicale", "--config", config],
                                     stdout=self.log, stderr=subprocess.STDOUT)
        deadline = time.time() + 120
        while True:
            try:
                self.request("OPTIONS", "/")
                return
            except OSError:
                if self.proc.poll() is not None or time.time() > deadline:
                    self.stop()
                    raise RuntimeError("the server did not start")
                time.sleep(0.2)

    def request(self, method, path, body=None, headers=None):
        conn = http.client.HTTPConnection("127.0.0.1", self.port, timeout=120)
        try:
            headers = dict(headers or {})
            headers["Authorization"] = "Basic " + base64.b64encode(
                ("%s:%s" % (USER, PASSWORD)).encode()).decode()
            conn.request(method, path, body=body, headers=headers)
            reply = conn.getresponse()
            return reply.status, reply.read()
        finally:
            conn.close()

    def resources(self, collection):
        """href -> text of every resource in the collection."""
        status, body = self.request("PROPFIND", collection, b"""<?xml version="1.0"?>
<D:propfind xmlns:D="DAV:"><D:prop><D:getetag/></D:prop></D:propfind>""", {"Depth": "1"})
        assert status == 207, status
        import xml.etree.ElementTree as ET
        out = {}
        for href in ET.fromstring(body).iter("{DAV:}href"):
            path = href.text
            if path.rstrip("/") == collection.rstrip("/"):
                continue
            status, text = self.request("GET", path)
            out[path] = text.decode("utf-8")
        return out

    def stop(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(timeout=30)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.log.close()


def records(path):
    """The D rows of a record-set file as dicts by tag."""
    text = open(path, "rb").read().split(b"\x1a")[0].decode("cp932")
    rows = list(csv.reader(io.StringIO(text)))
    tags = rows[0][1:]
    return [dict(zip(tags, r[1:])) for r in rows if r and r[0] == "D"]


def first_line(value):
    return value.replace("\x1f", "\n").split("\n")[0]


class Publish:
    def __init__(self, cli, env, url, inputs):
        self.cli, self.env, self.url, self.inputs = cli, env, url, inputs

    def run(self, *extra, url=None, password_file=None, user=USER, timeout=300):
        args = [self.cli, "publish"] + self.inputs + ["--url", url or self.url, "--user", user,
                                                      "--password-file", password_file or self.env["PWFILE"]]
        args += list(extra)
        p = subprocess.run(args, env=self.env, capture_output=True, timeout=timeout)
        out, err = p.stdout.decode(), p.stderr.decode("utf-8", "replace")
        counts = {}
        for line in out.splitlines():
            name, _, n = line.partition(": ")
            if n.isdigit():
                counts[name] = int(n)
        return p.returncode, counts, err


def expect_counts(label, got, want, err):
    rc, counts = got
    ok = check(rc == 0, "%s: exit %d, stderr:\n%s" % (label, rc, err))
    for name, n in want.items():
        ok &= check(counts.get(name) == n, "%s: %s %s, want %d (%s)" % (label, name, counts.get(name), n, counts))
    return ok


def check_server(server, samples):
    """Every record is on the server once, as one object of its own, with what it says."""
    cards = server.resources(BOOK)
    events = server.resources(CALENDAR)
    want_cards = sum(len(records(os.path.join(samples, f))) for f in CARD_KINDS)
    want_events = sum(len(records(os.path.join(samples, f))) for f in PUBLISHED if f not in CARD_KINDS)
    check(len(cards) == want_cards, "server holds %d cards for %d records" % (len(cards), want_cards))
    check(len(events) == want_events, "server holds %d calendar objects for %d records" % (len(events), want_events))
    names, tels = [], []
    for href, text in cards.items():
        card = vobject.readOne(text)
        check(card.uid.value.endswith("@tessera.invalid"), "card %s: UID %s" % (href, card.uid.value))
        names.append(card.fn.value)
        tels += [t.value for t in card.contents.get("tel", [])]
    for f in CARD_KINDS:
        for r in records(os.path.join(samples, f)):
            check(names.count(r["NAME"]) == 1, "%s: %s is on the server %d times" % (f, r["NAME"], names.count(r["NAME"])))
            if r.get("TEL1"):
                check(r["TEL1"] in tels, "%s: %s lost the number %s" % (f, r["NAME"], r["TEL1"]))
    summaries = []
    for href, text in events.items():
        cal = icalendar.Calendar.from_ical(text)
        parts = [c for c in cal.subcomponents if c.name in ("VEVENT", "VTODO", "VJOURNAL")]
        if check(len(parts) == 1, "%s holds %d components" % (href, len(parts))):
            uid = str(parts[0].get("UID"))
            check(uid.endswith("@tessera.invalid") and href.endswith(uid + ".ics") or "%40" in href,
                  "%s: UID %s" % (href, uid))
            summaries.append(str(parts[0].get("SUMMARY")))
    for f in PUBLISHED:
        if f in CARD_KINDS:
            continue
        for r in records(os.path.join(samples, f)):
            # The first word: the device's own characters (circled numbers) are mapped on
            # the way out and read back as other characters here.
            title = first_line(r.get("MEM1", "")).split(" ")[0]
            check(any(s.startswith(title) for s in summaries), "%s: no event or to-do titled %s" % (f, title))
    return cards, events


class NotDav(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        body = b"<html><body>hello</body></html>"
        self.send_response(200)
        self.send_header("Content-Type", "text/html")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    do_OPTIONS = do_GET

    def log_message(self, *args):
        pass


def main(argv):
    if len(argv) != 3:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    cli, samples_src = argv[1], argv[2]
    root = tempfile.mkdtemp(prefix="tessera-publish-")
    server = None
    try:
        samples = os.path.join(root, "samples")
        shutil.copytree(samples_src, samples, ignore=shutil.ignore_patterns("src"))
        env = dict(os.environ)
        env["XDG_CONFIG_HOME"] = os.path.join(root, "config")
        env["HOME"] = root
        env["PWFILE"] = os.path.join(root, "password")
        with open(env["PWFILE"], "w") as f:
            f.write(PASSWORD + "\n")
        wrong = os.path.join(root, "wrong")
        with open(wrong, "w") as f:
            f.write("not the password\n")

        server = Radicale(root)
        check(server.request("MKCOL", BOOK, MKCOL_BOOK, {"Content-Type": "application/xml"})[0] == 201, "MKCOL")
        check(server.request("MKCALENDAR", CALENDAR)[0] == 201, "MKCALENDAR")
        root_url = "http://127.0.0.1:%d/" % server.port
        # The folder, as a backup is published: the server's root, so the collections are
        # found through the user's principal and its home sets.
        publish = Publish(cli, env, root_url, [samples])
        total = sum(len(records(os.path.join(samples, f))) for f in PUBLISHED)

        rc, counts, err = publish.run()
        expect_counts("first publish", (rc, counts), {"created": total, "updated": 0, "unchanged": 0, "deleted": 0}, err)
        cards, events = check_server(server, samples)

        rc, counts, err = publish.run()
        expect_counts("publish again", (rc, counts), {"created": 0, "updated": 0, "unchanged": total, "deleted": 0}, err)

        # A phone number changes: the card of that person is replaced, nothing is added.
        phonebook = os.path.join(samples, "phonebook.tsr")
        data = open(phonebook, "rb").read()
        check(b"03-3812-4471" in data, "the sample phone number is there to edit")
        open(phonebook, "wb").write(data.replace(b"03-3812-4471", b"03-3812-9999"))
        rc, counts, err = publish.run("--dry-run")
        expect_counts("dry run after the edit", (rc, counts), {"created": 0, "updated": 1, "unchanged": total - 1}, err)
        check(server.resources(BOOK) == cards, "a dry run changed the server")
        rc, counts, err = publish.run()
        expect_counts("after the edit", (rc, counts), {"created": 0, "updated": 1, "unchanged": total - 1, "deleted": 0}, err)
        now = server.resources(BOOK)
        check(len(now) == len(cards), "the edit added a card")
        check(any("03-3812-9999" in t for t in now.values()) and not any("03-3812-4471" in t for t in now.values()),
              "the edited number is not on the server")

        # A card someone else made stays, whatever is deleted.
        foreign = ("BEGIN:VCARD\r\nVERSION:3.0\r\nUID:phone-made-1\r\nFN:Someone Else\r\nN:Else;Someone;;;\r\n"
                   "END:VCARD\r\n")
        check(server.request("PUT", BOOK + "phone-made-1.vcf", foreign.encode(),
                             {"Content-Type": "text/vcard"})[0] == 201, "PUT a foreign card")
        # One record goes: removed only with --delete-missing.
        lines = open(phonebook, "rb").read().split(b"\r\n")
        rows = [i for i, l in enumerate(lines) if l.startswith(b'"D"')]
        del lines[rows[1]]
        open(phonebook, "wb").write(b"\r\n".join(lines))
        rc, counts, err = publish.run()
        expect_counts("removed, kept", (rc, counts), {"created": 0, "updated": 0, "deleted": 0, "unchanged": total - 1}, err)
        rc, counts, err = publish.run("--delete-missing")
        expect_counts("removed, deleted", (rc, counts), {"created": 0, "updated": 0, "deleted": 1, "unchanged": total - 1}, err)
        now = server.resources(BOOK)
        check(any("phone-made-1" in h for h in now), "--delete-missing removed a card others made")
        check(len(now) == len(cards), "after the deletion the book holds %d cards" % len(now))
        check_server_after = [t for t in now.values() if "佐藤" in t]
        check(not check_server_after, "the removed person is still on the server")

        # The collection URL itself, one file: nothing to do.
        one = Publish(cli, env, "http://127.0.0.1:%d%s" % (server.port, BOOK), [phonebook])
        rc, counts, err = one.run()
        expect_counts("the address book's own URL", (rc, counts), {"created": 0, "unchanged": len(records(phonebook))}, err)

        # What goes wrong, said clearly: which server, what to check.
        cases = [
            ("wrong password", dict(password_file=wrong), "(401)"),
            ("closed port", dict(url="http://127.0.0.1:%d/" % free_port()), "127.0.0.1"),
        ]
        web = http.server.ThreadingHTTPServer(("127.0.0.1", 0), NotDav)
        threading.Thread(target=web.serve_forever, daemon=True).start()
        cases.append(("not a DAV server", dict(url="http://127.0.0.1:%d/" % web.server_address[1]), "CardDAV"))
        before = server.resources(BOOK)
        for label, kwargs, needle in cases:
            rc, counts, err = publish.run(**kwargs)
            check(rc == 3, "%s: exit %d, want 3" % (label, rc))
            check(needle in err, "%s: the message does not say %r:\n%s" % (label, needle, err))
        web.shutdown()
        check(server.resources(BOOK) == before, "a failed publish changed the server")
        # Nothing local was changed by any of it.
        for f in PUBLISHED:
            if f != "phonebook.tsr":
                check(open(os.path.join(samples, f), "rb").read() ==
                      open(os.path.join(samples_src, f), "rb").read(), "%s was changed" % f)
    finally:
        if server is not None:
            server.stop()
            if failures:
                print(open(os.path.join(server.dir, "server.log")).read()[-3000:])
        shutil.rmtree(root, ignore_errors=True)
    print("%d failures" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
