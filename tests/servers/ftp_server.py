"""A throwaway FTP server for the transfer tests: pyftpdlib on 127.0.0.1.

Usage: ftp_server.py PORT ROOT USER PASSWORD USERHOME [--no-rename-over] [--refuse=CMD,...]
                     [--no-connect-back]

The anonymous account reads and writes ROOT; USER with PASSWORD reads and writes USERHOME.
With --no-rename-over the server refuses RNTO onto an existing file (550), as some servers do.
With --refuse=RETR,STOR,RNFR (any of them) it accepts the login and directory commands but
refuses those commands (550), as a server with a full disk or wrong permissions does.
With --no-connect-back it accepts PORT and EPRT but answers the RETR or STOR that follows with
425, as a server that cannot reach a client behind NAT does; passive mode works.
Runs in the foreground until it gets SIGTERM.
"""
import os
import signal
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    port, root, user, password, userhome = sys.argv[1:6]
    no_rename_over = "--no-rename-over" in sys.argv[6:]
    no_connect_back = "--no-connect-back" in sys.argv[6:]
    refused = [a[len("--refuse="):].split(",") for a in sys.argv[6:] if a.startswith("--refuse=")]
    refused = refused[0] if refused else []

    authorizer = DummyAuthorizer()
    authorizer.add_anonymous(root, perm="elradfmwMT")
    authorizer.add_user(user, password, userhome, perm="elradfmwMT")

    class Handler(FTPHandler):
        def ftp_RNTO(self, path):
            if no_rename_over and os.path.exists(path):
                self._rnfr = None
                self.respond("550 Target exists.")
                return
            return super().ftp_RNTO(path)

        active = False

        def pretend_active(self, command, line):
            if not no_connect_back:
                return command(self, line)
            self.active = True
            self.respond("200 Active data connection pretended.")

        def ftp_PORT(self, line):
            return self.pretend_active(FTPHandler.ftp_PORT, line)

        def ftp_EPRT(self, line):
            return self.pretend_active(FTPHandler.ftp_EPRT, line)

        def ftp_RETR(self, file):
            return self.no_data() or super().ftp_RETR(file)

        def ftp_STOR(self, file, mode="w"):
            return self.no_data() or super().ftp_STOR(file, mode)

        def no_data(self):
            if not self.active:
                return False
            self.active = False
            self.respond("425 Can't open data connection.")
            return True

    def refuse(self, *_):
        self.respond("550 Not allowed here.")

    for command in refused:
        setattr(Handler, "ftp_" + command, refuse)

    Handler.authorizer = authorizer
    Handler.banner = "Kolvane test FTP server ready."
    Handler.permit_foreign_addresses = False
    Handler.passive_ports = None

    server = FTPServer(("127.0.0.1", int(port)), Handler)
    signal.signal(signal.SIGTERM, lambda *_: server.close_all())
    try:
        server.serve_forever(handle_exit=False)
    finally:
        server.close_all()


if __name__ == "__main__":
    main()
