#!/usr/bin/env python3
"""A loopback stand-in for the web logbook and the online IGC validation service.

usage: service_server.py MODE DIR
Prints the port it listens on, then serves until killed. Every request line goes to DIR/requests.log,
every uploaded body to DIR/body-N.bin. MODE makes it misbehave:
  normal, login200 (login answered 200), userid_space (user id followed by a space),
  slow_upload / slow_validation (3 s before answering), big_query / big_validation (200 kB answer),
  drop_upload / drop_validation (connection closed without an answer),
  error_upload / error_validation (500), fail_validation, uescape_validation.
"""
import http.server
import os
import socketserver
import sys
import threading
import time

MODE = sys.argv[1]
DIR = sys.argv[2]
USER_ID = 4711
TRIP_ID = 99
counter = [0]
lock = threading.Lock()


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def record(self, body=None):
        with lock:
            with open(os.path.join(DIR, "requests.log"), "a") as log:
                log.write(self.command + " " + self.path + "\n")
            if body is not None:
                counter[0] += 1
                with open(os.path.join(DIR, "body-%d.bin" % counter[0]), "wb") as f:
                    f.write(body)

    def body(self):
        length = int(self.headers.get("Content-Length", "0"))
        return self.rfile.read(length) if length else b""

    def answer(self, status, text=b"ok", location=None):
        self.send_response(status)
        if location is not None:
            self.send_header("Location", location)
        self.send_header("Content-Type", "text/html")
        self.send_header("Content-Length", str(len(text)))
        self.end_headers()
        self.wfile.write(text)

    def base(self):
        return "http://127.0.0.1:%d" % self.server.server_address[1]

    def do_HEAD(self):
        self.record()
        self.send_response(200)
        self.send_header("Content-Length", "0")
        self.end_headers()

    def do_GET(self):
        self.record()
        p = self.path
        if p == "/" or p == "/validation.html":
            return self.answer(200, b"home")
        if p.startswith("/tv.html?l=2&a=28&user_id="):
            return self.answer(200)
        if p.startswith("/tv.html?l=2&user_id=%d&a=34&trip_id=" % USER_ID):
            return self.answer(200, b"x" * 200000 if MODE == "big_query" else b"comps")
        if p == "/tv.html?l=2&a=38":
            return self.answer(302, b"", self.base() + "/tv.html?l=2")
        if p == "/tv.html?l=2":
            return self.answer(200)
        return self.answer(404, b"no")

    def do_POST(self):
        data = self.body()
        self.record(data)
        p = self.path
        if p.startswith("/tv.html?l=2&a=37&form=login"):
            # The login in the form body, or (the older way) in the address.
            login = "login_name=pilot&pw=s%C3%A9cret%26x"
            if login not in p and data != login.encode():
                return self.answer(200, b"wrong login")
            if MODE == "login200":
                return self.answer(200, b"welcome")
            user = "%d " % USER_ID if MODE == "userid_space" else "%d" % USER_ID
            self.send_response(302)
            self.send_header("Set-Cookie", "session=abc")
            self.send_header("Location", self.base() + "/tv.html?l=2&a=28&user_id=" + user)
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        if p == "/tv.html?l=2&user_id=%d&a=30&no_start=y" % USER_ID:
            return self.misbehave("upload") or self.answer(
                302, b"", self.base() + "/tv.html?l=2&user_id=%d&a=34&trip_id=%d&new=1" % (USER_ID, TRIP_ID))
        if p == "/api/vali/json":
            if self.misbehave("validation"):
                return
            if MODE == "big_validation":
                return self.answer(200, b"{" + b" " * 200000 + b"}")
            reply = {
                "fail_validation": b'{"result":"FAILED","status":"IGC_FAILED","msg":"bad G record"}',
                "uescape_validation": b'{"result":"PASSED","status":"IGC_PASSED","msg":"\\u00e9"}',
            }.get(MODE, b'{"result":"PASSED","status":"IGC_PASSED","msg":"ok"}')
            return self.answer(200, reply)
        return self.answer(404, b"no")

    def misbehave(self, step):
        if MODE == "slow_" + step:
            time.sleep(3)
        elif MODE == "drop_" + step:
            self.close_connection = True
            self.connection.shutdown(2)
            return True
        elif MODE == "error_" + step:
            self.answer(500, b"server error")
            return True
        return False


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True


server = Server(("127.0.0.1", 0), Handler)
print(server.server_address[1], flush=True)
server.serve_forever()
