#!/usr/bin/env python3
"""A loopback FTP server for the FTP send tests: user "pilot", password "s3cret", home DIR.

usage: ftp_server.py DIR plain|tls [CERT KEY]
Prints its port, then serves until killed. With "tls" the server offers AUTH TLS with the given
certificate (a plain login stays allowed, so that both ways can be tried).
"""
import sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, TLS_FTPHandler
from pyftpdlib.servers import FTPServer

home, mode = sys.argv[1], sys.argv[2]
authorizer = DummyAuthorizer()
authorizer.add_user("pilot", "s3cret", home, perm="elradfmw")
handler = FTPHandler
if mode == "tls":
    handler = TLS_FTPHandler
    handler.certfile = sys.argv[3]
    handler.keyfile = sys.argv[4]
handler.authorizer = authorizer
handler.passive_ports = None
server = FTPServer(("127.0.0.1", 0), handler)
print(server.address[1], flush=True)
server.serve_forever()
