#!/usr/bin/env python3
"""HTTPS server for the tests, on 127.0.0.1. Usage: https_server.py DIR

DIR holds cert.pem and key.pem. Each request is appended to DIR/requests.jsonl, then answered from
DIR/routes.json, re-read every time: {path: {status, body, location, delay, endless, pieces, pause}}; a path
without a route answers 404. With "pieces", the body goes out in that many parts with "pause" seconds before each
part after the first. The same routes are served over plain HTTP on a second port, for tests that must see it refused.
Prints "<port> <pid> <plain port>" once it listens.
"""

import json
import os
import ssl
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

DIR = sys.argv[1]
LOG_LOCK = threading.Lock()


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def setup(self):
        # The handshake runs on the request's own thread, so a client that stalls it blocks no one else.
        self.request.settimeout(60)
        if isinstance(self.request, ssl.SSLSocket):
            self.request.do_handshake()
        super().setup()

    def log_message(self, *args):
        pass

    def do_GET(self):
        body = self.rfile.read(int(self.headers.get("Content-Length") or 0))
        headers = {}
        for name, value in self.headers.items():
            headers.setdefault(name.lower(), []).append(value)
        entry = {"method": self.command, "path": self.path, "headers": headers, "body": body.decode(errors="replace")}
        with LOG_LOCK, open(os.path.join(DIR, "requests.jsonl"), "a", encoding="utf-8") as log:
            log.write(json.dumps(entry) + "\n")
        try:
            with open(os.path.join(DIR, "routes.json"), encoding="utf-8") as routes:
                route = json.load(routes).get(self.path.split("?")[0]) or {"status": 404}
        except (OSError, ValueError):
            route = {"status": 404}
        time.sleep(route.get("delay", 0))
        self.send_response(route.get("status", 200))
        if "location" in route:
            self.send_header("Location", route["location"])
        if route.get("endless"):
            self.send_header("Connection", "close")
            self.end_headers()
            while True:
                self.wfile.write(b"x" * 65536)
        payload = route.get("body", "").encode()
        self.send_header("Content-Length", str(len(payload)))
        self.end_headers()
        pieces = max(1, route.get("pieces", 1))
        size = -(-len(payload) // pieces)
        for start in range(0, max(len(payload), 1), max(size, 1)):
            if start > 0:
                time.sleep(route.get("pause", 0))
            self.wfile.write(payload[start:start + size])
            self.wfile.flush()

    do_POST = do_GET


class PlainServer(ThreadingHTTPServer):
    daemon_threads = True


class Server(PlainServer):
    def get_request(self):
        sock, address = self.socket.accept()
        return CONTEXT.wrap_socket(sock, server_side=True, do_handshake_on_connect=False), address

    def handle_error(self, request, client_address):
        pass  # clients that refuse the certificate, time out or hang up are what several tests are about


CONTEXT = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
CONTEXT.load_cert_chain(os.path.join(DIR, "cert.pem"), os.path.join(DIR, "key.pem"))
SERVER = Server(("127.0.0.1", 0), Handler)
PLAIN = PlainServer(("127.0.0.1", 0), Handler)
threading.Thread(target=PLAIN.serve_forever, daemon=True).start()
print(SERVER.server_address[1], os.getpid(), PLAIN.server_address[1], flush=True)
SERVER.serve_forever()
