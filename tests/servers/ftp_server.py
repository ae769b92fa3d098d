"""A throwaway FTP server for the transfer tests: pyftpdlib on 127.0.0.1.

Usage: ftp_server.py PORT ROOT USER PASSWORD USERHOME [--no-rename-over] [--refuse=CMD,...]
                     [--no-connect-back] [--hostile-data=TEXT] [--fail-store-after=BYTES]
                     [--slow=data|reply|quit]

The anonymous account reads and writes ROOT; USER with PASSWORD reads and writes USERHOME.
With --no-rename-over the server refuses RNTO onto an existing file (550), as some servers do.
With --refuse=RETR,STOR,RNFR (any of them) it accepts the login and directory commands but
refuses those commands (550), as a server with a full disk or wrong permissions does.
With --no-connect-back it accepts PORT and EPRT but answers the RETR or STOR that follows with
425, as a server that cannot reach a client behind NAT does; passive mode works.
With --hostile-data=TEXT, before it connects back for EPRT, a connection from 127.0.0.2 reaches
the client's port first and sends TEXT, as another host racing the server would.
With --fail-store-after=BYTES a STOR fails with 452 once that many bytes came, and the rest of
the data is dropped (the partial file stays); --fail-store-cut=BYTES cuts the data connection
then instead, as most servers do. With --slow=data it stops reading a STOR's data
after the first piece; with --slow=reply it answers the end of a STOR 30 s late; with
--slow=quit it answers QUIT 30 s late.
Runs in the foreground until it gets SIGTERM.
"""
import os
import signal
import socket
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import DTPHandler, FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    port, root, user, password, userhome = sys.argv[1:6]
    no_rename_over = "--no-rename-over" in sys.argv[6:]
    no_connect_back = "--no-connect-back" in sys.argv[6:]
    options = dict(a[2:].split("=", 1) for a in sys.argv[6:] if "=" in a)
    refused = [c for c in options.get("refuse", "").split(",") if c]
    fail_after = int(options.get("fail-store-after", options.get("fail-store-cut", 0)))
    slow = options.get("slow")

    def later(channel, call):  # 30 s on; the client may have gone by then
        channel.ioloop.call_later(30, lambda: channel.connected and call())

    class Dtp(DTPHandler):
        full = False

        def handle_read(self):
            if self.full:  # the rest of the data is read and dropped
                if not self.recv(65536):
                    self.close()
                return
            super().handle_read()
            if not self.receive:
                return
            if slow == "data":
                self.del_channel()  # the socket stays open and is never read again
            elif fail_after and self.tot_bytes_received >= fail_after:
                self.full = True
                self.cmd_channel.respond("452 Insufficient storage space.")
                if "fail-store-cut" in options:
                    self.close()

        handle_read_event = handle_read

        def close(self):
            if self.full:
                self._resp = ()
            if slow == "reply" and self._resp and self._resp[0].startswith("226"):
                reply, self._resp = self._resp[0], ()
                later(self.cmd_channel, lambda: self.cmd_channel.respond(reply))
            super().close()

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
            if "hostile-data" in options:  # "|1|host|port|"
                _, _, host, port, _ = line.split(line[0])
                with socket.create_connection((host, int(port)), source_address=("127.0.0.2", 0)) as s:
                    s.sendall(options["hostile-data"].encode())
            return self.pretend_active(FTPHandler.ftp_EPRT, line)

        def ftp_QUIT(self, line):
            if slow != "quit":
                return super().ftp_QUIT(line)
            later(self, lambda: FTPHandler.ftp_QUIT(self, line))

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
    Handler.dtp_handler = Dtp
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
