#!/usr/bin/python3
# A scripted HTTP server for Airlark's tests, on 127.0.0.1, made of the standard library only.
#
# Its arguments: a folder for its throw-away TLS certificate, "keep" or "discard" (the request
# bodies it records), and one listener per port, "plain" or "tls". It prints "ports P1 P2 ..." once
# it listens, then takes one JSON command per line on standard input and answers each with one JSON
# line on standard output. It ends when its standard input closes, so it never outlives the test
# process that started it.
#
# It answers a request with the scripted response of its method and path, else as the SoundCloud
# stand-in (when enabled), else 404. A response can redirect, stream a huge, endless or gzip-bomb
# body, drop or stall mid-body, and stop reading an upload part-way. Every request is recorded, with
# its listener, headers, body and, for multipart/form-data, its parts.
import base64
import hashlib
import http
import json
import os
import re
import socket
import ssl
import subprocess
import sys
import threading
import time
import zlib
from urllib.parse import parse_qsl, urlencode, urlsplit

lock = threading.Lock()
routes = {}  # (listener or None for all, method or "*", path) -> response
records = []
keep_bodies = True
cloud = None

BLOCK = bytes(1 << 20)


class Connection:
    def __init__(self, sock):
        self.sock = sock
        self.reader = sock.makefile("rb", buffering=1 << 20)

    def line(self):
        line = self.reader.readline(1 << 20)
        if not line.endswith(b"\r\n"):
            raise ConnectionResetError()
        return line[:-2]

    def take(self, count, record, stop_at):
        # Reads `count` body bytes into the record; False once `stop_at` bytes have arrived.
        while count > 0:
            if stop_at is not None and record["length"] >= stop_at:
                return False
            piece = self.reader.read1(min(count, count if stop_at is None else stop_at - record["length"]))
            if not piece:
                raise ConnectionResetError()
            if record["body"] is not None:
                record["body"] += piece
            record["length"] += len(piece)
            count -= len(piece)
        return True

    def reset(self):
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, b"\x01\x00\x00\x00\x00\x00\x00\x00")
        self.close()

    def close(self):
        self.reader.close()
        self.sock.close()

    def wait_for_close(self):
        while self.sock.recv(1 << 16):
            pass


def read_request(connection, listener):
    method, target, _version = connection.line().decode("latin-1").split(" ", 2)
    headers = [[field.strip() for field in line.decode("latin-1").partition(":")[::2]]
               for line in iter(connection.line, b"")]
    record = {"listener": listener, "method": method, "target": target, "headers": headers,
              "length": 0, "complete": False, "body": bytearray() if keep_bodies else None}
    with lock:
        records.append(record)
    return record


def header(record, name):
    return next((value for key, value in record["headers"] if key.lower() == name.lower()), "")


def read_body(connection, record, plan):
    if header(record, "Expect").lower() == "100-continue":
        connection.sock.sendall(b"HTTP/1.1 100 Continue\r\n\r\n")
    stop_at = plan.get("read_limit")
    if "chunked" in header(record, "Transfer-Encoding").lower():
        while True:
            size = int(connection.line().split(b";")[0], 16)
            if size == 0:
                for _trailer in iter(connection.line, b""):
                    pass
                break
            if not connection.take(size, record, stop_at):
                return False
            connection.line()
    elif not connection.take(int(header(record, "Content-Length") or 0), record, stop_at):
        return False
    record["complete"] = True
    return True


def head(status, headers):
    text = "HTTP/1.1 %d %s\r\n" % (status, http.HTTPStatus(status).phrase)
    text += "".join("%s: %s\r\n" % (name, value) for name, value in headers)
    return (text + "Connection: close\r\n\r\n").encode("latin-1")


def send_chunk(sock, data):
    sock.sendall(b"%x\r\n%s\r\n" % (len(data), data))


def respond(connection, plan):
    sock = connection.sock
    status = plan.get("status", 200)
    headers = [tuple(field) for field in plan.get("headers", [])]
    if "json" in plan:
        headers.append(("Content-Type", "application/json; charset=utf-8"))
    body = json.dumps(plan["json"]).encode() if "json" in plan else plan.get("body", "").encode()
    if "huge" in plan:
        sock.sendall(head(status, headers + [("Content-Length", plan["huge"])]))
        for sent in range(0, plan["huge"], len(BLOCK)):
            sock.sendall(BLOCK[:plan["huge"] - sent])
    elif plan.get("endless") or plan.get("gzip_bomb"):
        # A bomb is an endless gzip stream of zeros: deflate blocks end byte-aligned after a full
        # flush, so one compressed MiB can be sent again and again (about 1 KiB per MiB inflated).
        extra = [("Content-Encoding", "gzip")] if plan.get("gzip_bomb") else []
        sock.sendall(head(status, headers + extra + [("Transfer-Encoding", "chunked")]))
        payload = BLOCK[:1 << 16]
        if extra:
            compressor = zlib.compressobj(9, zlib.DEFLATED, 31)
            send_chunk(sock, compressor.compress(BLOCK) + compressor.flush(zlib.Z_FULL_FLUSH))
            payload = (compressor.compress(BLOCK) + compressor.flush(zlib.Z_FULL_FLUSH)) * 64
        while True:
            send_chunk(sock, payload)
    elif "partial" in plan:
        sock.sendall(head(status, headers + [("Content-Length", len(body))]) + body[:plan["partial"]])
        if plan.get("then") != "stall":
            return connection.reset()
        connection.wait_for_close()
    else:
        sock.sendall(head(status, headers + [("Content-Length", len(body))]) + body)
    if not isinstance(sock, ssl.SSLSocket):
        sock.shutdown(socket.SHUT_WR)
    connection.wait_for_close()


def serve(sock, listener, context):
    try:
        sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        if context:
            sock = context.wrap_socket(sock, server_side=True)
        connection = Connection(sock)
        record = read_request(connection, listener)
        path = urlsplit(record["target"]).path
        with lock:
            plan = next((routes[key] for key in [(listener, record["method"], path), (listener, "*", path),
                                                  (None, record["method"], path), (None, "*", path)]
                         if routes.get(key) is not None), None)
        plan = dict(plan or {})
        if not read_body(connection, record, plan):
            if plan.get("then") == "stall":
                threading.Event().wait()  # never reads again; the client sees a stalled upload
            connection.reset()
            return
        if not plan and cloud:
            with lock:
                plan = cloud.handle(record, path)
        time.sleep(plan.get("delay", 0))
        if plan.get("action") == "silent":
            connection.wait_for_close()
        else:
            respond(connection, plan or {"status": 404, "body": "Not Found"})
    except (OSError, ValueError):
        pass
    finally:
        sock.close()  # the descriptor closes once the connection's reader goes too


def accept(server, listener, context):
    while True:
        sock, _ = server.accept()
        threading.Thread(target=serve, args=(sock, listener, context), daemon=True).start()


def multipart(body, content_type):
    # Parses a multipart/form-data body strictly; None when a byte is out of place.
    boundary = None
    for field in content_type.split(";"):
        name, _, value = field.strip().partition("=")
        if name.lower() == "boundary":
            boundary = value.strip('"').encode()
    if not boundary or not body.startswith(b"--" + boundary + b"\r\n"):
        return None
    parts = []
    position = len(boundary) + 4
    delimiter = b"\r\n--" + boundary
    while True:
        end = body.find(delimiter, position)
        if end < 0:
            return None
        raw = body[position:end]
        blank = raw.find(b"\r\n\r\n")
        if blank < 0:
            return None
        part = {"name": "", "filename": None, "type": None, "body": base64.b64encode(raw[blank + 4:]).decode()}
        for line in raw[:blank].split(b"\r\n"):
            name, colon, value = line.decode("utf-8").partition(":")
            if not colon:
                return None
            if name.lower() == "content-disposition":
                part.update(re.findall(r'; (name|filename)="([^"]*)"', value))
            elif name.lower() == "content-type":
                part["type"] = value.strip()
        parts.append(part)
        position = end + len(delimiter)
        if body[position:] == b"--\r\n":
            return parts
        if body[position:position + 2] != b"\r\n":
            return None
        position += 2


def describe(record):
    target = urlsplit(record["target"])
    described = {key: record[key] for key in ("listener", "method", "target", "headers", "length", "complete")}
    described.update(path=target.path, query=target.query)
    body = record["body"]
    if body is not None:
        described["body"] = base64.b64encode(body).decode()
        if header(record, "Content-Type").startswith("multipart/form-data") and record["complete"]:
            try:
                described["parts"] = multipart(bytes(body), header(record, "Content-Type"))
            except UnicodeDecodeError:
                described["parts"] = None
    return described


class SoundCloud:
    # SoundCloud's authorize page, token endpoint (PKCE checked, single-use refresh tokens), "/me"
    # and "/tracks", each of which can be told to fail. The token endpoint's modes: "issue",
    # "refuse" (invalid_grant), "bad_client", "server_error", "busy" and "busy_once" (429 with
    # "Retry-After: <retry_after>", once or always); a refresh is answered after "refresh_delay" seconds.

    CLIENT_ID = "standin-client-id"
    CLIENT_SECRET = "standin-client-secret"

    def __init__(self):
        self.settings = {"token": "issue", "me": "username",
                         "username": "Standin Podcaster", "lifetime": 3600}
        self.codes = {}
        self.access = set()
        self.refresh = set()
        self.state = {"exchanges": 0, "refreshes": 0, "token_requests": [],
                      "access_token": "", "refresh_token": ""}
        self.serial = 0

    def handle(self, record, path):
        query = dict(parse_qsl(urlsplit(record["target"]).query))
        if record["method"] == "GET" and path == "/authorize":
            return self.authorize(query)
        if record["method"] == "POST" and path == "/oauth/token":
            return self.token(dict(parse_qsl(bytes(record["body"] or b"").decode())))
        authorized = header(record, "Authorization")[6:] in self.access
        if not authorized and path in ("/me", "/tracks"):
            return {"status": 401, "json": {"error": "invalid_token"}}
        if record["method"] == "GET" and path == "/me":
            mode = self.settings["me"]
            name = 4711 if mode == "numeric" else self.settings["username"]
            return {"status": 403 if mode == "error_status" else 200, "json": {"id": 4711, "username": name}}
        if record["method"] == "POST" and path == "/tracks":
            return {"status": 201, "json": {"id": 1234, "kind": "track",
                                            "permalink_url": "https://soundcloud.com/standin/track-1234"}}
        return {}

    def authorize(self, query):
        wanted = {"client_id": self.CLIENT_ID, "code_challenge_method": "S256", "response_type": "code"}
        if any(query.get(key) != value for key, value in wanted.items()) or not query.get("state") \
                or not query.get("code_challenge"):
            return {"status": 400, "body": "Bad authorize request"}
        self.serial += 1
        code = "code-%d" % self.serial
        self.codes[code] = (query["code_challenge"], query.get("redirect_uri"))
        answer = urlencode({"code": code, "state": query["state"]})
        return {"status": 302, "headers": [["Location", query["redirect_uri"] + "?" + answer]]}

    def issue(self):
        self.serial += 1
        access, refresh = "access-%d" % self.serial, "refresh-%d" % self.serial
        self.access.add(access)
        self.refresh.add(refresh)
        self.state.update(access_token=access, refresh_token=refresh)
        return {"json": {"access_token": access, "refresh_token": refresh, "token_type": "bearer",
                         "expires_in": self.settings["lifetime"], "scope": ""}}

    def token(self, form):
        self.state["token_requests"].append(form)
        mode = self.settings["token"]
        if mode == "server_error":
            return {"status": 500, "json": {"error": "server_error"}}
        if mode in ("busy", "busy_once"):
            if mode == "busy_once":
                self.settings["token"] = "issue"
            return {"status": 429, "headers": [["Retry-After", str(self.settings.get("retry_after", 1))]],
                    "json": {"error": "rate_limited"}}
        if mode == "refuse":
            return {"status": 400, "json": {"error": "invalid_grant"}}
        if mode == "bad_client" or form.get("client_id") != self.CLIENT_ID \
                or form.get("client_secret") != self.CLIENT_SECRET:
            return {"status": 401, "json": {"error": "invalid_client"}}
        if form.get("grant_type") == "authorization_code":
            challenge, redirect = self.codes.pop(form.get("code"), (None, None))
            verifier = form.get("code_verifier", "").encode()
            digest = base64.urlsafe_b64encode(hashlib.sha256(verifier).digest()).rstrip(b"=").decode()
            if challenge is None or challenge != digest or redirect != form.get("redirect_uri"):
                return {"status": 400, "json": {"error": "invalid_grant"}}
            self.state["exchanges"] += 1
            return self.issue()
        if form.get("grant_type") == "refresh_token":
            if form.get("refresh_token") not in self.refresh:
                return {"status": 400, "json": {"error": "invalid_grant"}}
            self.refresh.discard(form["refresh_token"])
            self.state["refreshes"] += 1
            return dict(self.issue(), delay=self.settings.get("refresh_delay", 0))
        return {"status": 400, "json": {"error": "unsupported_grant_type"}}


def command(request):
    global cloud
    name = request["cmd"]
    with lock:
        if name == "route":
            # No response (None) removes the route.
            routes[(request.get("listener"), request["method"], request["path"])] = request.get("response")
        elif name == "requests":
            return {"requests": [describe(record) for record in records]}
        elif name == "soundcloud":
            cloud = cloud or SoundCloud()
            settings = dict(request.get("settings", {}))
            if settings.pop("issue", False):
                cloud.issue()
            cloud.settings.update(settings)
            if request.get("revoke"):
                cloud.access.clear()
            return dict(cloud.state, client_id=cloud.CLIENT_ID, client_secret=cloud.CLIENT_SECRET)
    return {}


def certificate(folder):
    key, cert = os.path.join(folder, "key.pem"), os.path.join(folder, "cert.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                    "-nodes", "-keyout", key, "-out", cert, "-days", "2", "-subj", "/CN=127.0.0.1",
                    "-addext", "subjectAltName=IP:127.0.0.1"], check=True, capture_output=True)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    return context


def main():
    global keep_bodies
    tls_dir, bodies, *listeners = sys.argv[1:]
    keep_bodies = bodies == "keep"
    context = certificate(tls_dir) if "tls" in listeners else None
    ports = []
    for index, kind in enumerate(listeners):
        server = socket.create_server(("127.0.0.1", 0), backlog=64)
        ports.append(server.getsockname()[1])
        threading.Thread(target=accept, args=(server, index, context if kind == "tls" else None),
                         daemon=True).start()
    print("ports " + " ".join(map(str, ports)), flush=True)
    for line in sys.stdin:
        print(json.dumps(command(json.loads(line))), flush=True)


if __name__ == "__main__":
    sys.exit(main())
