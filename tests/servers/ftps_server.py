"""A throwaway FTP-over-TLS server for the transfer tests: pyftpdlib on 127.0.0.1.

Usage: ftps_server.py PORT USER PASSWORD USERHOME CERT KEY [--implicit] [--die-after=BYTES]

USER with PASSWORD reads and writes USERHOME; TLS is required on the control and the data
connections. Without --implicit the client asks for TLS with AUTH TLS; with it TLS starts before
the greeting (pyftpdlib has no such mode: the socket is wrapped at once). With --die-after the
server process ends once it has sent that many bytes of a file, as a crashing server does.
Runs in the foreground until it gets SIGTERM.
"""
import os
import signal
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import TLS_DTPHandler, TLS_FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    port, user, password, home, cert, key = sys.argv[1:7]
    implicit = "--implicit" in sys.argv[7:]
    options = dict(a[2:].split("=", 1) for a in sys.argv[7:] if "=" in a)
    die_after = int(options.get("die-after", 0))

    class Dtp(TLS_DTPHandler):
        sent = 0

        def readable(self):  # a client may start TLS before its RETR (libcurl does)
            return self._ssl_accepting or super().readable()

        def send(self, data):
            n = super().send(data)
            Dtp.sent += n or 0
            if die_after and Dtp.sent >= die_after:
                os._exit(3)
            return n

    class Handler(TLS_FTPHandler):
        def handle(self):
            if not implicit:
                return super().handle()
            self._pbsz = self._prot = True
            self.secure_connection(self.ssl_context)

        def handle_ssl_established(self):
            if implicit:
                TLS_FTPHandler.handle(self)  # the greeting, now inside TLS

    authorizer = DummyAuthorizer()
    authorizer.add_user(user, password, home, perm="elradfmwMT")
    Handler.authorizer = authorizer
    Handler.dtp_handler = Dtp
    Handler.certfile = cert
    Handler.keyfile = key
    Handler.tls_control_required = True
    Handler.tls_data_required = True
    Handler.banner = "Kolvane test FTPS server ready."
    Handler.permit_foreign_addresses = False
    Handler.auth_failed_timeout = 0.1  # not the 3 s that would outlast the tests' bounds

    server = FTPServer(("127.0.0.1", int(port)), Handler)
    signal.signal(signal.SIGTERM, lambda *_: server.close_all())
    try:
        server.serve_forever(handle_exit=False)
    finally:
        server.close_all()


if __name__ == "__main__":
    main()
