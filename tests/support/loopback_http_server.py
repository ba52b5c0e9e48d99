#!/usr/bin/env python3
"""A loopback HTTP server for the downloader's tests and benchmark.

It listens on 127.0.0.1 on a free port chosen by the system and writes that
port into <dir>/port. Every request is appended to <dir>/requests.log as
"METHOD PATH RANGE" (RANGE is "-" without a Range header). The server ends by
itself when <dir> disappears, or after --idle seconds without a request.

Files under <dir>/www are served as they are (GET and HEAD). Any other path
serves a generated body whose behaviour the query selects:

  size=N          body length (default 1000); byte i is part of the text
                  "%07d\\n" % (i // 8), so any offset mistake shows
  ranges=1        send "Accept-Ranges: bytes"
  acceptranges=T  send "Accept-Ranges: T" instead
  norange=1       ignore Range headers (always the whole body, 200)
  nolength=1      no Content-Length; the body ends when the connection closes
  md5=T           send "Content-MD5: T"
  disposition=T   send "Content-Disposition: T"
  hops=N          answer with 302 to the same URL with hops=N-1 while N > 0
  circle=1        answer every request with 302 to the same URL
  location=URL    answer with 302 to URL
  getstatus=N     answer GET requests with status N (HEAD gets 200)
  delay=MS        wait before answering
  trickle=MS      send the body in four parts, MS apart
  endless=1       no Content-Length and a body without end (it stops by
                  itself after 1 GiB); when the client goes away, the bytes
                  sent are appended to <dir>/sent.log as "PATH N"
  fail<k>=KIND:N  the k-th GET of this path (counted from 1) sends only N
                  bytes of its body and then:
                    cut    closes the connection (the headers announced more)
                    short  closes it, with no Content-Length announced
                    reset  resets it half a second later
                  KIND "zero" answers with an empty body and Content-Length 0.

Requests are counted per path, so each test uses paths of its own.

With --tls PEM it speaks HTTPS with the certificate and key in PEM (the
tests' loopback_tls.pem: self-signed, for the host vantor.invalid, and
expired in 2001, so that every certificate check a client makes fails).
"""

import argparse
import os
import socket
import ssl
import struct
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

_bodies = {}
_bodies_lock = threading.Lock()


def pattern_body(size):
    with _bodies_lock:
        body = _bodies.get(size)
        if body is None:
            records = size // 8 + 1
            body = b"".join(b"%07d\n" % (k % 10000000) for k in range(records))[:size]
            if len(_bodies) > 8:
                _bodies.clear()
            _bodies[size] = body
        return body


class State:
    def __init__(self, folder, idle):
        self.folder = folder
        self.idle = idle
        self.lock = threading.Lock()
        self.get_counts = {}
        self.active = 0
        self.last_activity = time.monotonic()

    def log_request(self, line):
        self.append("requests.log", line)

    def append(self, name, line):
        """Adds a line to one of the logs in the folder; a folder that the
        test has removed already takes nothing."""
        with self.lock:
            try:
                with open(os.path.join(self.folder, name), "a", encoding="utf-8") as log:
                    log.write(line + "\n")
            except OSError:
                pass

    def count_get(self, path):
        with self.lock:
            count = self.get_counts.get(path, 0) + 1
            self.get_counts[path] = count
            return count

    def enter(self):
        with self.lock:
            self.active += 1
            self.last_activity = time.monotonic()

    def leave(self):
        with self.lock:
            self.active -= 1
            self.last_activity = time.monotonic()

    def should_stop(self):
        if not os.path.isdir(self.folder):
            return True
        with self.lock:
            return self.active == 0 and time.monotonic() - self.last_activity > self.idle


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "loopback"
    sys_version = ""

    def log_message(self, format, *args):
        pass

    def setup(self):
        self.refused = False
        if isinstance(self.request, ssl.SSLSocket):
            self.request.settimeout(10)
            try:
                self.request.do_handshake()
            except (ssl.SSLError, OSError):
                # A client that does not speak TLS, or gives up on the
                # certificate.
                self.refused = True
        super().setup()

    def handle(self):
        if self.refused:
            return
        try:
            super().handle()
        except (ssl.SSLError, ConnectionError, socket.timeout):
            pass

    def do_GET(self):
        self.answer(head=False)

    def do_HEAD(self):
        self.answer(head=True)

    def answer(self, head):
        state = self.server.state
        state.enter()
        try:
            self.answer_request(state, head)
        except (ConnectionError, BrokenPipeError, socket.timeout):
            self.close_connection = True
        finally:
            state.leave()

    def answer_request(self, state, head):
        state.log_request("%s %s %s" % (self.command, self.path, self.headers.get("Range", "-")))
        url = urllib.parse.urlsplit(self.path)
        query = {key: values[-1] for key, values in urllib.parse.parse_qs(url.query, keep_blank_values=True).items()}
        attempt = 0 if head else state.count_get(url.path)

        delay = int(query.get("delay", "0"))
        if delay:
            time.sleep(delay / 1000.0)

        served_file = self.www_file(state, url.path)
        if served_file is not None:
            self.send_body(200, [("Content-Type", "application/json")], served_file, head)
            return

        location = self.redirect_target(url, query)
        if location is not None:
            self.send_body(302, [("Location", location)], b"moved", head)
            return

        body = pattern_body(int(query.get("size", "1000")))
        headers = []
        if query.get("ranges") == "1":
            headers.append(("Accept-Ranges", "bytes"))
        if "acceptranges" in query:
            headers.append(("Accept-Ranges", query["acceptranges"]))
        if "md5" in query:
            headers.append(("Content-MD5", query["md5"]))
        if "disposition" in query:
            headers.append(("Content-Disposition", query["disposition"]))

        status = 200
        requested = self.headers.get("Range")
        if requested and query.get("norange") != "1":
            status, body, content_range = self.byte_range(requested, body)
            headers.append(("Content-Range", content_range))
        if not head and "getstatus" in query:
            status = int(query["getstatus"])

        fault = None if head else query.get("fail%d" % attempt)
        if fault == "zero":
            self.send_body(status, headers, b"", head)
            return
        if fault:
            kind, count = fault.split(":")
            self.send_faulty(status, headers, body, kind, int(count))
            return
        if query.get("endless") == "1" and not head:
            self.send_endless(state, url.path, headers)
            return
        if query.get("nolength") == "1":
            self.send_unannounced(status, headers, body, head)
            return
        self.send_body(status, headers, body, head, trickle=int(query.get("trickle", "0")))

    @staticmethod
    def www_file(state, path):
        root = os.path.realpath(os.path.join(state.folder, "www"))
        candidate = os.path.realpath(os.path.join(root, urllib.parse.unquote(path).lstrip("/")))
        if not candidate.startswith(root + os.sep) or not os.path.isfile(candidate):
            return None
        with open(candidate, "rb") as served:
            return served.read()

    def redirect_target(self, url, query):
        host = "http://127.0.0.1:%d" % self.server.server_address[1]
        if query.get("circle") == "1":
            return host + self.path
        if "location" in query:
            return query["location"]
        hops = int(query.get("hops", "0"))
        if hops > 0:
            rest = dict(query)
            rest["hops"] = str(hops - 1)
            return host + url.path + "?" + urllib.parse.urlencode(rest)
        return None

    @staticmethod
    def byte_range(requested, body):
        size = len(body)
        wanted = requested.strip()
        if not wanted.startswith("bytes=") or "," in wanted:
            return 200, body, "bytes */%d" % size
        first_text, _, last_text = wanted[len("bytes="):].partition("-")
        first = int(first_text) if first_text else 0
        last = int(last_text) if last_text else size - 1
        last = min(last, size - 1)
        if first > last:
            return 416, b"", "bytes */%d" % size
        return 206, body[first:last + 1], "bytes %d-%d/%d" % (first, last, size)

    def start(self, status, headers, length):
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        if length is not None:
            self.send_header("Content-Length", str(length))
        else:
            self.send_header("Connection", "close")
        self.end_headers()

    def send_body(self, status, headers, body, head, trickle=0):
        self.start(status, headers, len(body))
        if head:
            return
        if trickle:
            quarter = (len(body) + 3) // 4
            for part in range(4):
                if part:
                    self.wfile.flush()
                    time.sleep(trickle / 1000.0)
                self.wfile.write(body[part * quarter:(part + 1) * quarter])
            return
        view = memoryview(body)
        for start in range(0, len(body), 1 << 16):
            self.wfile.write(view[start:start + (1 << 16)])

    def send_unannounced(self, status, headers, body, head):
        self.start(status, headers, None)
        if not head:
            self.wfile.write(body)
        self.wfile.flush()
        self.close_connection = True

    def send_endless(self, state, path, headers):
        self.start(200, headers, None)
        self.close_connection = True
        block = pattern_body(1 << 16)
        sent = 0
        try:
            while sent < (1 << 30):
                self.wfile.write(block)
                sent += len(block)
        except (ConnectionError, BrokenPipeError, socket.timeout):
            pass
        finally:
            state.append("sent.log", "%s %d" % (path, sent))

    def send_faulty(self, status, headers, body, kind, count):
        self.start(status, headers, None if kind == "short" else len(body))
        self.wfile.write(body[:count])
        self.wfile.flush()
        self.close_connection = True
        if kind == "reset":
            # Once the client has read what was sent and waits for more,
            # closing with a zero linger time resets the connection under it
            # (a reset that overtakes unread data would be seen differently
            # from run to run).
            time.sleep(0.5)
            self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            self.connection.close()
        else:
            self.connection.shutdown(socket.SHUT_WR)


class Server(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True
    tls = None

    def get_request(self):
        connection, address = super().get_request()
        if self.tls is not None:
            # The handshake runs on the request's own thread (Handler.setup),
            # so a client that never finishes it holds up no one else.
            connection = self.tls.wrap_socket(connection, server_side=True, do_handshake_on_connect=False)
        return connection, address


def detach(folder, log_name="server.log"):
    """Lets go of every descriptor the starter handed down.

    A test program under Wine starts the server with the test's output pipe
    as its standard output and error (and a few descriptors of Wine's own);
    a server that kept them would hold the pipe open after the test, and the
    test runner would wait for it. Output goes to <folder>/<log_name>. The
    nginx launcher beside this script detaches through it too.
    """
    log = os.open(os.path.join(folder, log_name), os.O_WRONLY | os.O_CREAT | os.O_APPEND, 0o644)
    null = os.open(os.devnull, os.O_RDONLY)
    os.dup2(null, 0)
    os.dup2(log, 1)
    os.dup2(log, 2)
    os.closerange(3, os.sysconf("SC_OPEN_MAX"))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--dir", required=True, help="folder for the port file, the request log and www/")
    parser.add_argument("--idle", type=float, default=120.0, help="seconds without a request before ending")
    parser.add_argument("--tls", help="serve HTTPS with the certificate and key of this PEM file")
    args = parser.parse_args()

    folder = os.path.abspath(args.dir)
    detach(folder)
    server = Server(("127.0.0.1", 0), Handler)
    server.state = State(folder, args.idle)
    if args.tls:
        server.tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        server.tls.load_cert_chain(args.tls)

    thread = threading.Thread(target=server.serve_forever, kwargs={"poll_interval": 0.1}, daemon=True)
    thread.start()
    temporary = os.path.join(folder, "port.tmp")
    with open(temporary, "w", encoding="ascii") as port_file:
        port_file.write("%d\n" % server.server_address[1])
    os.replace(temporary, os.path.join(folder, "port"))

    while not server.state.should_stop():
        time.sleep(0.25)
    server.shutdown()
    server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
