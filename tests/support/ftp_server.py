#!/usr/bin/python3
# A throwaway FTP server for Airlark's tests, listening on 127.0.0.1.
#
# Its one argument is a JSON object: "home", "user" and "password" of the one account; "port" (0: a
# free one); "read_limit", bytes per second an upload may arrive at (0: no limit), so that a test can
# act in the middle of one; "quota", to refuse (552) every stored file that takes the home folder
# above that many bytes; "refuse_stor", a reply code to answer every completed STOR with instead of
# 226; "keep", a number of bytes: every stored file is cut to that many and answered 226 all the
# same, as a server does that took a dropped data connection for the end of the file;
# "greeting_delay", seconds before each greeting (the whole server waits). Given
# "script", it serves no files: it plays the script to one connection, for replies and misbehaviour
# no real server shows (see FtpTestServer.h), and logs each verb it hears to "log"; with "tls"
# ("cert" and "key") it offers explicit TLS, and "keep" cuts what a STOR sends to that many bytes.
# Prints "port N" on standard output once it listens, then serves until killed.
import json
import logging
import os
import signal
import socket
import ssl
import sys
import time

REPLIES = {"USER": "331 password please", "PASS": "230 logged in", "PWD": '257 "/"', "CWD": "250 ok",
           "TYPE": "200 ok", "QUIT": "221 bye"}


def play(script, port, log_path):
    replies = dict(REPLIES, **script.get("replies", {}))
    greeting = script.get("greeting", "220 scripted")
    listing = script.get("listing", "-rw-r--r-- 1 a b 1 Jan 01 2020 x.mp3\r\n").encode("latin-1")
    tls = None
    if "tls" in script:
        tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        tls.load_cert_chain(script["tls"]["cert"], script["tls"]["key"])
        replies = dict(replies, PBSZ="200 ok", PROT="200 ok")
    server = socket.create_server(("127.0.0.1", port))
    print("port %d" % server.getsockname()[1], flush=True)
    log = open(log_path, "a", buffering=1)
    connection, _ = server.accept()
    time.sleep(script.get("delayMs", 0) / 1000)
    try:
        if connection.recv(1, socket.MSG_PEEK | socket.MSG_DONTWAIT):
            log.write("early\n")
    except BlockingIOError:
        pass
    connection.settimeout(10)
    reader = None

    def say(line):
        connection.sendall(line.encode("latin-1") + b"\r\n")

    try:
        if greeting:
            say(greeting)
        reader, data, open_ = connection.makefile("rb"), None, not greeting.startswith("421")
        stored = None
        while open_ and (line := reader.readline()).endswith(b"\r\n"):
            verb = line[:-2].split(b" ")[0].upper().decode("latin-1")
            log.write(verb + "\n")
            answer = replies.get(verb, "502 not here")
            if verb == "AUTH" and tls and verb not in replies:
                say("234 go ahead")
                connection = tls.wrap_socket(connection, server_side=True)
                reader = connection.makefile("rb")
                continue
            if verb == "PASV" and verb not in replies:
                data = socket.create_server(("127.0.0.1", 0))
                data.settimeout(10)
                data_port = data.getsockname()[1]
                answer = "227 Entering Passive Mode (127,0,0,1,%d,%d)" % (data_port // 256, data_port % 256)
            elif verb == "LIST" and verb not in replies and data:
                say("150 here it comes")
                flood(data, listing)
                answer = "226 done"
            elif verb == "STOR" and verb not in replies and data:
                # Takes the whole file, keeps "keep" bytes of it and says it is done all the same.
                say("150 send it")
                stored = receive(data, tls)
                if script.get("keep", -1) >= 0:
                    stored = stored[: script["keep"]]
                answer = "226 done"
            elif verb == "SIZE" and verb not in replies and stored is not None:
                answer = "213 %d" % len(stored)
            say(answer)
            open_ = verb != "QUIT" and not answer.startswith("421")
    except OSError:
        pass
    if reader:
        reader.close()  # else the socket stays open under it
    connection.close()
    signal.pause()


def receive(listener, tls):
    received, connection = bytearray(), None
    try:
        connection, _ = listener.accept()
        connection.settimeout(10)
        if tls:
            connection = tls.wrap_socket(connection, server_side=True)
        while chunk := connection.recv(65536):
            received += chunk
    except OSError:  # ssl.SSLError too: an end without close_notify is an end here
        pass
    if connection:
        connection.close()  # at once: the client waits for it
    return bytes(received)


def flood(listener, line):
    # Bounded all the same, so that a client that never stops reading ends the test.
    try:
        connection, _ = listener.accept()
    except OSError:
        return
    block = line * max(1, 65536 // len(line))
    try:
        for _ in range((1 << 31) // len(block)):
            connection.sendall(block)
    except OSError:
        pass
    connection.close()


def main():
    args = json.loads(sys.argv[1])
    if "script" in args:
        return play(args["script"], args["port"], args["log"])

    from pyftpdlib.authorizers import DummyAuthorizer
    from pyftpdlib.handlers import DTPHandler, FTPHandler, ThrottledDTPHandler
    from pyftpdlib.servers import FTPServer
    logging.basicConfig(level=logging.CRITICAL)

    authorizer = DummyAuthorizer()
    authorizer.add_user(args["user"], args["password"], args["home"], perm="elradfmwMT")

    def home_size():
        total = 0
        for root, _dirs, files in os.walk(args["home"]):
            for name in files:
                try:
                    total += os.path.getsize(os.path.join(root, name))
                except OSError:
                    pass
        return total

    base = ThrottledDTPHandler if args["read_limit"] > 0 else DTPHandler

    # Large buffers keep the server from being the bottleneck; a throttled server keeps the
    # default ones, so that an upload arrives in many small reads.
    buffer_size = 1024 * 1024 if args["read_limit"] == 0 else base.ac_in_buffer_size

    class RefusingDTPHandler(base):
        ac_in_buffer_size = buffer_size
        ac_out_buffer_size = buffer_size
        read_limit = args["read_limit"]

        def close(self):
            if not self._closed and self.receive and self.transfer_finished and args.get("keep", -1) >= 0:
                self.file_obj.flush()
                os.truncate(self.file_obj.name, args["keep"])
            if not self._closed and self.receive and self.transfer_finished:
                code = args["refuse_stor"]
                if code == 0 and args["quota"] >= 0 and home_size() > args["quota"]:
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

        def handle(self):
            time.sleep(args.get("greeting_delay", 0))
            super().handle()

    Handler.authorizer = authorizer
    server = FTPServer(("127.0.0.1", args["port"]), Handler)
    server.max_cons = 64
    print("port %d" % server.address[1], flush=True)
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    sys.exit(main())
