#!/usr/bin/python3
"""Puts every card of the given vCard files into an address book of a Radicale CardDAV
server started for the purpose (127.0.0.1, a free port, a temporary folder) and stopped
afterwards. A server refuses what the address books of phones would not get: a card
without UID, an unreadable one.

Usage: carddav_put.py FILE...   Exit 0 when the server took every card; 1 otherwise."""
import http.client
import os
import re
import socket
import subprocess
import sys
import tempfile
import time

BOOK = "/judge/book/"


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def request(port, method, path, body=None, headers=None):
    conn = http.client.HTTPConnection("127.0.0.1", port, timeout=60)
    auth = {"Authorization": "Basic anVkZ2U6anVkZ2U="}  # judge:judge, any password goes
    conn.request(method, path, body=body, headers={**auth, **(headers or {})})
    r = conn.getresponse()
    text = r.read().decode("utf-8", "replace")
    conn.close()
    return r.status, text


def cards_of(path):
    with open(path, encoding="utf-8", newline="") as f:
        text = f.read()
    return re.findall(r"BEGIN:VCARD\r\n.*?END:VCARD\r\n", text, re.S)


def main(paths):
    port = free_port()
    with tempfile.TemporaryDirectory() as folder:
        server = subprocess.Popen(
            [sys.executable, "-m", "radicale", "--server-hosts", "127.0.0.1:%d" % port,
             "--storage-filesystem-folder", os.path.join(folder, "collections"),
             "--auth-type", "none", "--rights-type", "owner_only", "--logging-level", "warning"],
            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        try:
            deadline = time.time() + 60  # a slow, loaded machine
            while True:
                try:
                    request(port, "OPTIONS", "/")
                    break
                except OSError:
                    if time.time() > deadline or server.poll() is not None:
                        print("the server did not start")
                        return 1
                    time.sleep(0.2)
            mkcol = ('<?xml version="1.0"?><D:mkcol xmlns:D="DAV:" xmlns:C="urn:ietf:params:xml:ns:carddav">'
                     "<D:set><D:prop><D:resourcetype><D:collection/><C:addressbook/></D:resourcetype>"
                     "</D:prop></D:set></D:mkcol>")
            status, text = request(port, "MKCOL", BOOK, mkcol, {"Content-Type": "application/xml"})
            if status not in (200, 201):
                print("the address book was not made: %d %s" % (status, text))
                return 1
            faults, total = [], 0
            for path in paths:
                for n, card in enumerate(cards_of(path), 1):
                    total += 1
                    status, text = request(port, "PUT", "%scard%d.vcf" % (BOOK, total), card.encode("utf-8"),
                                           {"Content-Type": "text/vcard; charset=utf-8"})
                    if status not in (200, 201, 204):
                        faults.append("%s card %d: %d %s" % (path, n, status, text.strip()[:200]))
            for line in faults:
                print(line)
            print("%d cards put, %d refused" % (total, len(faults)))
            return 1 if faults or total == 0 else 0
        finally:
            server.terminate()
            try:
                server.wait(30)
            except subprocess.TimeoutExpired:
                server.kill()


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
