#!/usr/bin/python3
"""CalDAV / CardDAV judge: starts Debian's Radicale on a free 127.0.0.1 port with its
storage in a temporary folder, makes a calendar and an address book, stores every
component of the given .ics files (with the time zones it names) and every card of the
given .vcf files as a resource of its own under its UID with If-None-Match: *, reads each
back and checks that it came back unchanged in substance. Any refusal is printed with the
server's reason; exit status 1 when anything failed. The server is stopped in every case.

usage: dav_put.py FILE.ics|FILE.vcf [...]
"""
import http.client
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import urllib.parse
import base64

PYTHON = "/usr/bin/python3"
USER = "tessera"
CALENDAR = "/%s/calendar/" % USER
BOOK = "/%s/contacts/" % USER

MKCALENDAR_BODY = b"""<?xml version="1.0" encoding="utf-8"?>
<C:mkcalendar xmlns:D="DAV:" xmlns:C="urn:ietf:params:xml:ns:caldav">
  <D:set><D:prop><D:displayname>Tessera</D:displayname></D:prop></D:set>
</C:mkcalendar>
"""
MKCOL_BOOK_BODY = b"""<?xml version="1.0" encoding="utf-8"?>
<D:mkcol xmlns:D="DAV:" xmlns:CR="urn:ietf:params:xml:ns:carddav">
  <D:set><D:prop>
    <D:resourcetype><D:collection/><CR:addressbook/></D:resourcetype>
    <D:displayname>Tessera</D:displayname>
  </D:prop></D:set>
</D:mkcol>
"""


def free_port():
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


def physical_lines(text):
    lines = text.split("\r\n")
    if lines and lines[-1] == "":
        lines.pop()
    return lines


def unfold(lines):
    out = []
    for line in lines:
        if line[:1] in (" ", "\t") and out:
            out[-1] += line[1:]
        elif line:
            out.append(line)
    return out


DURATION = re.compile(r"^([+-]?)P(?:(\d+)W)?(?:(\d+)D)?(?:T(?:(\d+)H)?(?:(\d+)M)?(?:(\d+)S)?)?$")


def duration_seconds(value):
    m = DURATION.match(value)
    if not m:
        return None
    sign, w, d, h, mi, s = m.groups()
    total = ((int(w or 0) * 7 + int(d or 0)) * 24 + int(h or 0)) * 3600 + int(mi or 0) * 60 + int(s or 0)
    return -total if sign == "-" else total


def content_key(line):
    """A content line in substance: upper-case name, parameters in order, the value (a
    duration by its length: servers write -PT60M as -PT1H)."""
    name_params, _, value = line.partition(":")
    if name_params.upper().split(";")[0] in ("TRIGGER", "DURATION") and duration_seconds(value) is not None:
        value = "%ds" % duration_seconds(value)
    parts = name_params.split(";")
    params = sorted(p.upper() if "=" not in p else p.split("=", 1)[0].upper() + "=" + p.split("=", 1)[1]
                    for p in parts[1:])
    return (parts[0].upper(), tuple(params), value)


def split_ics(text):
    """One calendar object per component, each with the header and the zones it names."""
    lines = physical_lines(text)
    header, zones, components = [], {}, []
    depth, block, kind = 0, [], None
    for line in lines:
        if line.startswith("BEGIN:"):
            depth += 1
            if depth == 2:
                block, kind = [], line[6:].upper()
        if depth == 1 and not line.startswith(("BEGIN:", "END:")) and not line.startswith((" ", "\t")):
            header.append(line)
        elif depth == 1 and line.startswith((" ", "\t")) and header:
            header.append(line)
        if depth >= 2:
            block.append(line)
        if line.startswith("END:"):
            depth -= 1
            if depth == 1:
                if kind == "VTIMEZONE":
                    tzid = next((l[5:] for l in unfold(block) if l.upper().startswith("TZID:")), "")
                    zones[tzid] = block
                else:
                    components.append((kind, block))
    objects = []
    for kind, block in components:
        flat = unfold(block)
        uid = next((l.split(":", 1)[1] for l in flat if l.upper().startswith("UID:") or l.upper().startswith("UID;")), None)
        used = [z for tzid, z in zones.items() if any(";TZID=" + tzid + ":" in l or ";TZID=" + tzid + ";" in l
                                                       for l in flat)]
        body = ["BEGIN:VCALENDAR"] + header + [l for z in used for l in z] + block + ["END:VCALENDAR"]
        objects.append((kind, uid, "\r\n".join(body) + "\r\n", flat))
    return objects


def split_vcf(text):
    objects, block = [], None
    for line in physical_lines(text):
        if line.upper() == "BEGIN:VCARD":
            block = []
        if block is not None:
            block.append(line)
        if line.upper() == "END:VCARD" and block is not None:
            flat = unfold(block)
            uid = next((l.split(":", 1)[1] for l in flat if l.upper().startswith(("UID:", "UID;"))), None)
            objects.append(("VCARD", uid, "\r\n".join(block) + "\r\n", flat))
            block = None
    return objects


class Server:
    def __init__(self):
        self.dir = tempfile.mkdtemp(prefix="tessera-dav-")
        self.port = free_port()
        config = os.path.join(self.dir, "config")
        with open(config, "w") as f:
            f.write("[server]\nhosts = 127.0.0.1:%d\n\n[auth]\ntype = none\n\n[rights]\ntype = owner_only\n\n"
                    "[storage]\nfilesystem_folder = %s\n\n[web]\ntype = none\n\n[logging]\nlevel = warning\n"
                    % (self.port, os.path.join(self.dir, "collections")))
        self.log = open(os.path.join(self.dir, "server.log"), "w+")
        self.proc = subprocess.Popen([PYTHON, "-m", "radicale", "--config", config],
                                     stdout=self.log, stderr=subprocess.STDOUT)
        deadline = time.time() + 90
        while True:
            try:
                self.request("OPTIONS", "/")
                return
            except OSError:
                if self.proc.poll() is not None or time.time() > deadline:
                    log = self.server_log()
                    self.stop()
                    raise RuntimeError("the server did not start:\n" + log)
                time.sleep(0.2)

    def server_log(self):
        self.log.seek(0)
        return self.log.read()

    def request(self, method, path, body=None, headers=None):
        conn = http.client.HTTPConnection("127.0.0.1", self.port, timeout=60)
        try:
            # Radicale's "none" authentication takes any password; the user owns /tessera/.
            headers = dict(headers or {})
            headers["Authorization"] = "Basic " + base64.b64encode((USER + ":x").encode()).decode()
            conn.request(method, path, body=body, headers=headers)
            reply = conn.getresponse()
            return reply.status, reply.reason, reply.read()
        finally:
            conn.close()

    def stop(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(timeout=30)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.log.close()
        shutil.rmtree(self.dir, ignore_errors=True)


def store(server, collection, suffix, content_type, objects, faults):
    for kind, uid, body, flat in objects:
        if not uid:
            faults.append("%s without UID: a server keeps no stable name for it" % kind)
            name = "no-uid-%d%s" % (len(faults), suffix)
        else:
            name = urllib.parse.quote(uid, safe="") + suffix
        path = collection + name
        status, reason, reply = server.request("PUT", path, body.encode("utf-8"),
                                               {"Content-Type": content_type, "If-None-Match": "*"})
        if not 200 <= status < 300:
            faults.append("PUT %s %s: %d %s %s" % (kind, uid, status, reason, reply.decode("utf-8", "replace").strip()))
            continue
        status, reason, reply = server.request("GET", path)
        if status != 200:
            faults.append("GET %s: %d %s" % (uid, status, reason))
            continue
        got = unfold(physical_lines(reply.decode("utf-8").replace("\r\n", "\n").replace("\n", "\r\n")))
        want = sorted(content_key(l) for l in flat)
        back = sorted(content_key(l) for l in got if l.upper() not in ("BEGIN:VCALENDAR", "END:VCALENDAR"))
        # The server wraps the object again (VERSION, PRODID, zones): compare the component.
        if kind != "VCARD":
            back = [k for k in back if k in want or k[0] not in ("VERSION", "PRODID", "CALSCALE", "METHOD")]
        missing = [k for k in want if k not in back]
        extra = [k for k in back if k not in want and not (kind != "VCARD" and k[0] in ("TZID",))]
        if missing:
            faults.append("%s %s came back without %s" % (kind, uid, missing[:3]))
        elif extra and kind == "VCARD":
            faults.append("%s %s came back with %s" % (kind, uid, extra[:3]))


def main(argv):
    if len(argv) < 2:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    ics, vcf = [], []
    for path in argv[1:]:
        text = open(path, encoding="utf-8", newline="").read()
        (vcf if path.lower().endswith(".vcf") else ics).extend(
            split_vcf(text) if path.lower().endswith(".vcf") else split_ics(text))
    faults = []
    server = Server()
    try:
        if ics:
            status, reason, reply = server.request("MKCALENDAR", CALENDAR, MKCALENDAR_BODY,
                                                   {"Content-Type": "application/xml; charset=utf-8"})
            if status != 201:
                faults.append("MKCALENDAR: %d %s %s" % (status, reason, reply.decode("utf-8", "replace")))
            else:
                store(server, CALENDAR, ".ics", "text/calendar; charset=utf-8", ics, faults)
        if vcf:
            status, reason, reply = server.request("MKCOL", BOOK, MKCOL_BOOK_BODY,
                                                   {"Content-Type": "application/xml; charset=utf-8"})
            if status != 201:
                faults.append("MKCOL: %d %s %s" % (status, reason, reply.decode("utf-8", "replace")))
            else:
                store(server, BOOK, ".vcf", "text/vcard; charset=utf-8", vcf, faults)
        if faults:
            log = server.server_log().strip()
            if log:
                faults.append("server log:\n" + log[-4000:])
    finally:
        server.stop()
    for f in faults:
        print(f)
    print("%d calendar objects, %d cards, %d faults" % (len(ics), len(vcf), len(faults)))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
