#!/usr/bin/env python3
"""Runs a command beside a throw-away update server on 127.0.0.1.

The port is in $TS_HTTP_PORT; $TS_HTTP_DOWN_PORT names a port where nothing
listens. Replies by the first path component:
  /update/...  a newer build (2.6.1.42) with an address
  /same/...    the current build (2.6.0.41)
  /stall/...   headers and a few bytes, then nothing for a long time
  anything else: 404"""
import http.server
import os
import socket
import subprocess
import sys
import threading
import time

REPLIES = {
    "update": b"ZR4K-VERSIONRESPONSE\n2.6.1.42\nhttp://download.trackscrub.example/setup.exe \r\n",
    "same": b"ZR4K-VERSIONRESPONSE\n2.6.0.41\nhttp://download.trackscrub.example/setup.exe\n",
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
        body = REPLIES.get(first)
        self.send_response(200 if body else 404)
        body = body or b"not here"
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
sys.exit(subprocess.call(sys.argv[1:], env=env))
