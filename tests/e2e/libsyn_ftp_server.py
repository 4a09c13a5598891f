#!/usr/bin/python3
"""Stands in for Libsyn's FTP server in Airlark's end-to-end tests, on 127.0.0.1.

Unlike the shared test server it can listen on a given port again after it was killed (Airlark
reads Libsyn's server address once per process), and it can take uploads slowly, so that a test
can stop it in the middle of one. Prints "port N" once it listens, then serves until killed.
"""
import argparse
import logging
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--home", required=True)
    parser.add_argument("--user", required=True)
    parser.add_argument("--password", required=True)
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--read-limit", type=int, default=0,
                        help="bytes per second an upload may arrive at (0: no limit)")
    args = parser.parse_args()

    logging.basicConfig(level=logging.CRITICAL)

    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, args.home, perm="elradfmwMT")

    class Handler(FTPHandler):
        auth_failed_timeout = 0
        banner = "Airlark end-to-end Libsyn stand-in ready."

    if args.read_limit > 0:
        class SlowDTPHandler(ThrottledDTPHandler):
            read_limit = args.read_limit
        Handler.dtp_handler = SlowDTPHandler

    Handler.authorizer = authorizer
    server = FTPServer(("127.0.0.1", args.port), Handler)
    server.max_cons = 64
    print("port %d" % server.address[1], flush=True)
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    sys.exit(main())
