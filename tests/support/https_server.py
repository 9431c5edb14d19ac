#!/usr/bin/env python3
"""HTTPS server for the tests: answers from a routes file the test rewrites, records every request.

Usage: https_server.py --cert CERT --key KEY --routes ROUTES.json --log REQUESTS.jsonl
Prints the port it listens on (127.0.0.1, chosen by the system) on the first line of standard output.

The routes file maps a path (without its query) to an answer, re-read at every request:
  status    the status code (200)
  body      the body as text ("")
  bodyBytes a body of that many "x" bytes instead of `body`
  location  a Location header (for redirects)
  delay     seconds to wait before answering
  endless   stream "x" bytes until the client hangs up, without a length
A path without a route answers 404.

Each request is appended to the log as one JSON line (method, path, headers as [name, value] pairs, body) before
it is answered, so a client that has its answer can read its request there.
"""

import argparse
import json
import ssl
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer


class Server(ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, context, routes, log):
        super().__init__(("127.0.0.1", 0), Handler)
        self.context = context
        self.routes_path = routes
        self.log_path = log
        self.log_lock = threading.Lock()

    def get_request(self):
        sock, address = self.socket.accept()
        # The handshake happens on the request's own thread, so a client that stalls it blocks no one else.
        return self.context.wrap_socket(sock, server_side=True, do_handshake_on_connect=False), address

    def handle_error(self, request, client_address):
        # Clients that refuse the certificate, time out or stop reading are what several tests are about.
        pass

    def routes(self):
        try:
            with open(self.routes_path, encoding="utf-8") as f:
                return json.load(f)
        except (OSError, ValueError):
            return {}

    def record(self, entry):
        with self.log_lock, open(self.log_path, "a", encoding="utf-8") as f:
            f.write(json.dumps(entry) + "\n")


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def setup(self):
        self.request.settimeout(60)
        self.request.do_handshake()
        super().setup()

    def log_message(self, format, *args):
        pass

    def do_GET(self):
        self.answer()

    do_POST = do_GET
    do_PUT = do_GET
    do_DELETE = do_GET

    def answer(self):
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length) if length > 0 else b""
        self.server.record({
            "method": self.command,
            "path": self.path,
            "headers": [[name, value] for name, value in self.headers.items()],
            "body": body.decode("utf-8", errors="replace"),
        })
        route = self.server.routes().get(self.path.split("?", 1)[0], {"status": 404, "body": "no such route\n"})
        time.sleep(float(route.get("delay", 0)))
        self.send_response(int(route.get("status", 200)))
        if "location" in route:
            self.send_header("Location", route["location"])
        if route.get("endless"):
            self.send_header("Connection", "close")
            self.end_headers()
            self.close_connection = True
            chunk = b"x" * 65536
            while True:
                self.wfile.write(chunk)
        if "bodyBytes" in route:
            payload = b"x" * int(route["bodyBytes"])
        else:
            payload = route.get("body", "").encode("utf-8")
        self.send_header("Content-Type", "text/plain; charset=utf-8")
        self.send_header("Content-Length", str(len(payload)))
        self.end_headers()
        self.wfile.write(payload)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cert", required=True)
    parser.add_argument("--key", required=True)
    parser.add_argument("--routes", required=True)
    parser.add_argument("--log", required=True)
    args = parser.parse_args()
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(args.cert, args.key)
    server = Server(context, args.routes, args.log)
    print(server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
