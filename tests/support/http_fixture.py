#!/usr/bin/env python3
"""Runs a command beside a throw-away update server on 127.0.0.1.

    http_fixture.py <current version, a.b.c.d> <command...>

The port is in $TS_HTTP_PORT; $TS_HTTP_DOWN_PORT names a port where nothing
listens. Replies by the first path component:
  /update/...  a newer build (the next build number) with an address
  /same/...    the current build
  /stall/...   headers and a few bytes, then nothing for a long time
  /lists/<name>  a tracker list with an ETag and a Last-Modified, 304 when the
               request names its ETag: "hosts" (two domains), "empty" (none);
               "huge" announces more than 64 MiB
  anything else: 404"""
import http.server
import os
import socket
import subprocess
import sys
import threading
import time

CURRENT = sys.argv[1].split(".")
NEWER = CURRENT[:3] + [str(int(CURRENT[3]) + 1)]
REPLIES = {
    "update": b"ZR4K-VERSIONRESPONSE\n%s\nhttp://download.trackscrub.example/setup.exe \r\n"
              % ".".join(NEWER).encode(),
    "same": b"ZR4K-VERSIONRESPONSE\n%s\nhttp://download.trackscrub.example/setup.exe\n"
            % ".".join(CURRENT).encode(),
}
LISTS = {
    "hosts": (b"# two trackers\n0.0.0.0 a.example\n0.0.0.0 b.example\n", '"hosts-1"'),
    "empty": (b"# no domain here\n", '"empty-1"'),
}


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def do_GET(self):
        first = self.path.lstrip("/").split("/", 1)[0]
        if first == "stall":
            self.send_response(200)
            self.send_header("Content-Length", "1000")
            self.end_headers()
            self.wfile.write(b"ZR4K")
            self.wfile.flush()
            time.sleep(60)
            return
        if first == "lists":
            self.send_list(self.path.lstrip("/").split("/", 1)[-1])
            return
        body = REPLIES.get(first)
        self.send_response(200 if body else 404)
        body = body or b"not here"
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def send_list(self, name):
        if name == "huge":
            self.send_response(200)
            self.send_header("Content-Length", str(64 * 2**20 + 1))
            self.send_header("Connection", "close")
            self.end_headers()
            return
        if name not in LISTS:
            self.send_error(404)
            return
        body, etag = LISTS[name]
        if self.headers.get("If-None-Match") == etag:
            self.send_response(304)
            self.send_header("ETag", etag)
            self.end_headers()
            return
        self.send_response(200)
        self.send_header("ETag", etag)
        self.send_header("Last-Modified", "Mon, 01 Jan 2024 00:00:00 GMT")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
server.daemon_threads = True
threading.Thread(target=server.serve_forever, daemon=True).start()
env = dict(os.environ, TS_HTTP_PORT=str(server.server_address[1]),
           TS_HTTP_DOWN_PORT=str(free_port()))
sys.exit(subprocess.call(sys.argv[2:], env=env))
