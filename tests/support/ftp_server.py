#!/usr/bin/python3
# A throwaway FTP server for Airlark's tests, listening on 127.0.0.1.
#
# Prints "port N" on standard output once it listens, then serves until killed. Given --port, it
# listens on that port; given --read-limit, it takes uploads slowly, so that a test can act in the
# middle of one.
import argparse
import logging
import os
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import DTPHandler, FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--home", required=True)
    parser.add_argument("--user", required=True)
    parser.add_argument("--password", required=True)
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--quota", type=int, default=-1,
                        help="refuse (552) every stored file that takes the home folder above this many bytes")
    parser.add_argument("--refuse-stor", type=int, default=0,
                        help="answer every completed STOR with this reply code instead of 226")
    parser.add_argument("--read-limit", type=int, default=0,
                        help="bytes per second an upload may arrive at (0: no limit)")
    args = parser.parse_args()

    logging.basicConfig(level=logging.CRITICAL)

    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, args.home, perm="elradfmwMT")

    def home_size():
        total = 0
        for root, _dirs, files in os.walk(args.home):
            for name in files:
                try:
                    total += os.path.getsize(os.path.join(root, name))
                except OSError:
                    pass
        return total

    base = ThrottledDTPHandler if args.read_limit > 0 else DTPHandler

    # Large buffers keep the server from being the bottleneck; a throttled server keeps the
    # default ones, so that an upload arrives in many small reads.
    buffer_size = 1024 * 1024 if args.read_limit == 0 else base.ac_in_buffer_size

    class RefusingDTPHandler(base):
        ac_in_buffer_size = buffer_size
        ac_out_buffer_size = buffer_size
        read_limit = args.read_limit

        def close(self):
            if not self._closed and self.receive and self.transfer_finished:
                code = args.refuse_stor
                if code == 0 and args.quota >= 0 and home_size() > args.quota:
                    code = 552
                if code:
                    self.transfer_finished = False
                    self._resp = ("%d Requested file action aborted (refused by test server)." % code,
                                  logging.debug)
            super().close()

    class Handler(FTPHandler):
        dtp_handler = RefusingDTPHandler
        auth_failed_timeout = 0
        banner = "Airlark test server ready."

    Handler.authorizer = authorizer
    server = FTPServer(("127.0.0.1", args.port), Handler)
    server.max_cons = 64
    print("port %d" % server.address[1], flush=True)
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    sys.exit(main())
