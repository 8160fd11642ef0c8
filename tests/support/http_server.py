#!/usr/bin/python3
"""A loopback HTTP(S) server for the download tests.

Serves the files of --root. What a path does can be changed while it runs: before each
request it reads --rules (a JSON object, path -> rule), where a rule is one of
  {"status": 404}                              answer with that status and a short body
  {"stall": true}                              send the header, then nothing
  {"silent": true}                             accept and never answer
  {"short": N}                                 announce the file's length, send N bytes, close
  {"redirect": "/other"} or {"redirect": "ftp://x/y"}   answer 302 with that Location
  {"body": "text"}                             serve that text
  {"zeros": N}                                 serve N zero bytes (streamed)
  {"nolength": true}                           serve the file without a Content-Length
With --proxy-user/--proxy-password it is also an HTTP proxy that wants Basic credentials:
a request with an absolute URI and no or wrong Proxy-Authorization gets 407.

Prints one JSON object per line on standard output:
  {"event": "listening", "port": N}
  {"event": "request", "method": ..., "target": path or absolute URI, "path": ...,
   "user_agent": ..., "proxy_authorization": ...}
It stops when its standard input closes.
"""
import argparse
import base64
import http.server
import json
import os
import socketserver
import ssl
import sys
import threading
import time
import urllib.parse

ARGS = None
LOCK = threading.Lock()


def emit(obj):
    with LOCK:
        sys.stdout.write(json.dumps(obj) + "\n")
        sys.stdout.flush()


def rules():
    if not ARGS.rules:
        return {}
    try:
        with open(ARGS.rules, "r", encoding="utf-8") as f:
            return json.load(f)
    except (OSError, ValueError):
        return {}


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def do_GET(self):
        target = self.path
        parsed = urllib.parse.urlsplit(target)
        path = urllib.parse.unquote(parsed.path if parsed.scheme else target.split("?", 1)[0])
        emit({"event": "request", "method": self.command, "target": target, "path": path,
              "user_agent": self.headers.get("User-Agent", ""),
              "proxy_authorization": self.headers.get("Proxy-Authorization", "")})
        if parsed.scheme and ARGS.proxy_user is not None:
            want = "Basic " + base64.b64encode(
                (ARGS.proxy_user + ":" + ARGS.proxy_password).encode()).decode()
            if self.headers.get("Proxy-Authorization", "") != want:
                body = b"proxy credentials needed"
                self.send_response(407)
                self.send_header("Proxy-Authenticate", 'Basic realm="duvo"')
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)
                return
        rule = rules().get(path, {})
        if "status" in rule:
            body = b"no such file"
            self.send_response(int(rule["status"]))
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)
            return
        if rule.get("silent"):
            time.sleep(60)
            self.close_connection = True
            return
        if "redirect" in rule:
            self.send_response(302)
            self.send_header("Location", rule["redirect"])
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        if "zeros" in rule:
            total = int(rule["zeros"])
            self.send_response(200)
            self.send_header("Content-Type", "application/octet-stream")
            self.send_header("Content-Length", str(total))
            self.end_headers()
            chunk = bytes(1 << 20)
            left = total
            try:
                while left > 0:
                    n = min(left, len(chunk))
                    self.wfile.write(chunk[:n])
                    left -= n
            except OSError:
                pass
            return
        if "body" in rule:
            data = rule["body"].encode("utf-8")
        else:
            local = os.path.normpath(os.path.join(ARGS.root, path.lstrip("/")))
            if not local.startswith(os.path.normpath(ARGS.root) + os.sep) or not os.path.isfile(local):
                body = b"no such file"
                self.send_response(404)
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)
                return
            with open(local, "rb") as f:
                data = f.read()
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        if rule.get("nolength"):
            self.send_header("Connection", "close")
            self.close_connection = True
        else:
            self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        if rule.get("stall"):
            self.wfile.flush()
            time.sleep(60)
            self.close_connection = True
            return
        if "short" in rule:
            self.wfile.write(data[:int(rule["short"])])
            self.wfile.flush()
            self.close_connection = True
            return
        self.wfile.write(data)


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    global ARGS
    p = argparse.ArgumentParser()
    p.add_argument("--host", default="127.0.0.1")
    p.add_argument("--port", type=int, default=0)
    p.add_argument("--root", required=True)
    p.add_argument("--rules")
    p.add_argument("--cert")
    p.add_argument("--key")
    p.add_argument("--proxy-user")
    p.add_argument("--proxy-password", default="")
    ARGS = p.parse_args()
    server = Server((ARGS.host, ARGS.port), Handler)
    if ARGS.cert:
        ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        ctx.load_cert_chain(ARGS.cert, ARGS.key)
        server.socket = ctx.wrap_socket(server.socket, server_side=True)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    emit({"event": "listening", "port": server.server_address[1]})
    try:
        sys.stdin.read()
    except KeyboardInterrupt:
        pass
    os._exit(0)


if __name__ == "__main__":
    main()
