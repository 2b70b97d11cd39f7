#!/usr/bin/env python3
"""A scripted MySQL 8.4 / 9.x server for the tests of plugin authentication.

    fake_mysql_server.py --version 8.4.3 --socket PATH --log FILE
                         [--tls | --tls-cert FILE --tls-key FILE] [--public-key-out FILE]

Listens on 127.0.0.1 at a free port and on the Unix socket PATH, prints
"ready port=N" once both accept connections, and serves until SIGTERM.

It greets like MySQL 8.4 and 9.x (plugin authentication, naming
caching_sha2_password) and authenticates these accounts:

    sha2_fast / Fast-Pass1     caching_sha2_password, in the server's cache:
                               the fast path; a wrong scramble falls back to
                               full authentication, as the real server does
    sha2_full / Full-Pass2     caching_sha2_password, never cached: always
                               full authentication
    sha2_nopass (no password)  caching_sha2_password
    native_user / Native-Pass3 mysql_native_password (8.4 only; 9.0 removed it)
    ed25519_user, clear_user, dialog_user
                               client_ed25519, mysql_clear_password, dialog

With --tls (a self-signed certificate made at start from the server's RSA key)
or --tls-cert/--tls-key it offers TLS as MySQL does (CLIENT_SSL in the
greeting; after the client's 32-byte SSL request the TLS handshake, then the
login packet over TLS), else it offers none.

Full authentication is done as MySQL does it: over the Unix socket or TLS the
client sends the password itself; over plain TCP it asks for the server's RSA
public key (generated at start; --public-key-out writes it as PEM for clients
that are given the key and send at once) and sends (password + NUL) XOR the
nonce, encrypted with RSA-OAEP. Everything is checked here with hashlib and the cryptography
package, independently of the client under test. Anything the client does
that a careful client must not (a clear password over TCP, bytes after a
switch to a method it cannot do, a wrong sequence number) is written to the
log FILE as one line each; the tests expect the file to stay empty.

After authentication: COM_QUERY ("select current_user()", "select
@@version"; anything else is answered OK), COM_PING, COM_INIT_DB,
COM_STATISTICS, COM_CHANGE_USER and COM_QUIT, plain or compressed.
"""

import argparse
import datetime
import hashlib
import ipaddress
import os
import secrets
import shutil
import signal
import socket
import socketserver
import ssl
import string
import tempfile
import struct
import sys
import threading
import zlib

from cryptography import x509
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import padding, rsa
from cryptography.x509.oid import NameOID

NATIVE = "mysql_native_password"
SHA2 = "caching_sha2_password"

CLIENT_CONNECT_WITH_DB = 0x8
CLIENT_COMPRESS = 0x20
CLIENT_PROTOCOL_41 = 0x200
CLIENT_SSL = 0x800
CLIENT_SECURE_CONNECTION = 0x8000
CLIENT_PLUGIN_AUTH = 0x80000
CLIENT_PLUGIN_AUTH_LENENC = 0x200000
# What MySQL 8.4 offers, less SSL (added when this server has a certificate).
SERVER_CAPABILITIES = 0x0FFFF7FF
SSL_REQUEST_LENGTH = 32

COM_QUIT, COM_INIT_DB, COM_QUERY = 1, 2, 3
COM_STATISTICS, COM_PING, COM_CHANGE_USER = 9, 14, 17

FAST_AUTH_OK, PERFORM_FULL_AUTH, REQUEST_PUBLIC_KEY = 3, 4, 2


class Account:
    def __init__(self, plugin, password, cached=False, versions=("8", "9")):
        self.plugin = plugin
        self.password = password.encode()
        self.cached = cached
        self.versions = versions


ACCOUNTS = {
    "sha2_fast": Account(SHA2, "Fast-Pass1", cached=True),
    "sha2_full": Account(SHA2, "Full-Pass2"),
    "sha2_nopass": Account(SHA2, "", cached=True),
    "native_user": Account(NATIVE, "Native-Pass3", versions=("8",)),
    "ed25519_user": Account("client_ed25519", "Ed-Pass4"),
    "clear_user": Account("mysql_clear_password", "Clear-Pass5"),
    "dialog_user": Account("dialog", "Dialog-Pass6"),
}


def sha1(*parts):
    return hashlib.sha1(b"".join(parts)).digest()


def sha256(*parts):
    return hashlib.sha256(b"".join(parts)).digest()


def xor(a, b):
    return bytes(x ^ y for x, y in zip(a, b))


def new_nonce():
    # Printable, as the real server makes them: never a NUL.
    alphabet = (string.ascii_letters + string.digits + "#%&()*+,-./:;<=>?@[]^_{|}~").encode()
    return bytes(secrets.choice(alphabet) for _ in range(20))


def native_scramble(nonce, password):
    """SHA1(password) XOR SHA1(nonce + SHA1(SHA1(password)))."""
    stage1 = sha1(password)
    return xor(stage1, sha1(nonce, sha1(stage1)))


def caching_sha2_scramble(nonce, password):
    """SHA256(password) XOR SHA256(SHA256(SHA256(password)) + nonce)."""
    stage1 = sha256(password)
    return xor(stage1, sha256(sha256(stage1), nonce))


def lenenc(value):
    if value < 251:
        return bytes([value])
    if value < 1 << 16:
        return b"\xfc" + struct.pack("<H", value)
    return b"\xfe" + struct.pack("<Q", value)


def lenenc_text(text):
    return lenenc(len(text)) + text


class ClientGone(Exception):
    pass


class Reader:
    """Fields of one received packet."""

    def __init__(self, data):
        self.data, self.pos = data, 0

    def take(self, count):
        part = self.data[self.pos:self.pos + count]
        self.pos += count
        return part

    def nul_text(self):
        end = self.data.find(b"\0", self.pos)
        end = len(self.data) if end < 0 else end
        text = self.data[self.pos:end]
        self.pos = end + 1
        return text

    def at_end(self):
        return self.pos >= len(self.data)


class Connection:
    """Packets over one client connection, plain or in compressed blocks."""

    def __init__(self, sock, log):
        self.sock, self.log = sock, log
        self.seq = 0
        self.compressed = False
        self.inflated = b""

    def read_exactly(self, count):
        data = b""
        while len(data) < count:
            part = self.sock.recv(count - len(data))
            if not part:
                raise ClientGone()
            data += part
        return data

    def read_stream(self, count):
        if not self.compressed:
            return self.read_exactly(count)
        while len(self.inflated) < count:
            header = self.read_exactly(7)
            length = header[0] | header[1] << 8 | header[2] << 16
            self.seq = (header[3] + 1) & 0xFF
            raw_length = header[4] | header[5] << 8 | header[6] << 16
            payload = self.read_exactly(length)
            self.inflated += zlib.decompress(payload) if raw_length else payload
        data, self.inflated = self.inflated[:count], self.inflated[count:]
        return data

    def read_packet(self):
        header = self.read_stream(4)
        length = header[0] | header[1] << 8 | header[2] << 16
        if not self.compressed:
            if header[3] != self.seq:
                self.log(f"packet sequence number {header[3]}, expected {self.seq}")
            self.seq = (header[3] + 1) & 0xFF
        return self.read_stream(length)

    def write_packet(self, payload):
        packet = struct.pack("<I", len(payload))[:3] + bytes([self.seq]) + payload
        if self.compressed:
            body = zlib.compress(packet) if len(packet) >= 50 else packet
            raw_length = len(packet) if len(packet) >= 50 else 0
            packet = (struct.pack("<I", len(body))[:3] + bytes([self.seq]) +
                      struct.pack("<I", raw_length)[:3] + body)
        self.seq = (self.seq + 1) & 0xFF
        self.sock.sendall(packet)

    def ok(self):
        self.write_packet(b"\0\0\0\x02\0\0\0")

    def error(self, number, state, message):
        self.write_packet(b"\xff" + struct.pack("<H", number) + b"#" + state.encode() +
                          message.encode())

    def await_close(self, reason):
        """The client must now close the connection without a word."""
        try:
            sent = self.sock.recv(65536)
        except OSError:
            return
        if sent:
            self.log(f"{len(sent)} bytes sent after {reason}")


class Session:
    def __init__(self, connection, server, secure):
        self.conn, self.server, self.secure = connection, server, secure
        self.user = None
        self.capabilities = 0

    def greeting(self, nonce, thread_id):
        offered = SERVER_CAPABILITIES | (CLIENT_SSL if self.server.tls else 0)
        return (b"\x0a" + self.server.version.encode() + b"\0" + struct.pack("<I", thread_id) +
                nonce[:8] + b"\0" + struct.pack("<H", offered & 0xFFFF) +
                b"\xff" + struct.pack("<H", 2) + struct.pack("<H", SERVER_CAPABILITIES >> 16) +
                bytes([21]) + bytes(10) + nonce[8:] + b"\0" + SHA2.encode() + b"\0")

    def account(self, user):
        account = ACCOUNTS.get(user.decode(errors="replace"))
        if account and self.server.version.split(".")[0] in account.versions:
            return account
        return None

    def deny(self, user):
        self.conn.error(1045, "28000",
                        f"Access denied for user '{user.decode(errors='replace')}'@'localhost' "
                        "(using password: YES)")
        return False

    def authenticate(self, user, client_plugin, answer, nonce):
        """Runs the exchange after the client's first answer; True when in."""
        account = self.account(user)
        if account is None:
            return self.deny(user)
        if client_plugin != account.plugin:
            nonce = new_nonce()
            self.conn.write_packet(b"\xfe" + account.plugin.encode() + b"\0" + nonce + b"\0")
            if account.plugin not in (NATIVE, SHA2):
                self.conn.await_close(f"a switch to {account.plugin}")
                raise ClientGone()
            answer = self.conn.read_packet()
        if account.plugin == NATIVE:
            accepted = answer == (native_scramble(nonce, account.password) if account.password
                                  else b"")
        else:
            accepted = self.caching_sha2(account, nonce, answer)
        if not accepted:
            return self.deny(user)
        self.conn.ok()
        return True

    def caching_sha2(self, account, nonce, answer):
        if not answer:
            return not account.password
        if account.cached and answer == caching_sha2_scramble(nonce, account.password):
            self.conn.write_packet(bytes([1, FAST_AUTH_OK]))
            return True
        self.conn.write_packet(bytes([1, PERFORM_FULL_AUTH]))
        reply = self.conn.read_packet()
        if self.secure:
            return reply == account.password + b"\0"
        if account.password and account.password in reply:
            self.conn.log("the password in clear over TCP")
            return False
        if reply == bytes([REQUEST_PUBLIC_KEY]):
            self.conn.write_packet(b"\x01" + self.server.public_pem)
            encrypted = self.conn.read_packet()
        elif len(reply) == self.server.key.key_size // 8:
            # A client that has the key already sends the encrypted block at once.
            encrypted = reply
        else:
            self.conn.log(f"full authentication over TCP began with {reply[:8]!r}")
            return False
        try:
            plain = self.server.key.decrypt(
                encrypted,
                padding.OAEP(mgf=padding.MGF1(hashes.SHA1()), algorithm=hashes.SHA1(), label=None))
        except ValueError:
            self.conn.log(f"an RSA-OAEP block that does not decrypt ({len(encrypted)} bytes)")
            return False
        password = bytes(b ^ nonce[i % len(nonce)] for i, b in enumerate(plain))
        return password == account.password + b"\0"

    def start_tls(self, request):
        """The client's SSL request: the TLS handshake, then the login over TLS."""
        capabilities = struct.unpack("<I", request[:4])[0]
        if self.conn.seq != 2:
            self.conn.log(f"the SSL request came as packet {self.conn.seq - 1}, not 1")
        if not capabilities & CLIENT_PROTOCOL_41:
            self.conn.log("an SSL request without the 4.1 protocol")
        try:
            self.conn.sock = self.server.tls.wrap_socket(self.conn.sock, server_side=True)
        except (ssl.SSLError, OSError):
            raise ClientGone()
        self.secure = True
        return self.conn.read_packet()

    def login(self, nonce):
        data = self.conn.read_packet()
        flags = struct.unpack("<I", data[:4])[0] if len(data) >= 4 else 0
        if flags & CLIENT_SSL:
            if not self.server.tls:
                self.conn.log("CLIENT_SSL sent to a server that offers no TLS")
            elif len(data) != SSL_REQUEST_LENGTH:
                self.conn.log("CLIENT_SSL in a login packet that is not an SSL request")
            else:
                data = self.start_tls(data)
                if not struct.unpack("<I", data[:4])[0] & CLIENT_SSL:
                    self.conn.log("the login packet over TLS without CLIENT_SSL")
        packet = Reader(data)
        self.capabilities = struct.unpack("<I", packet.take(4))[0]
        packet.take(4 + 1 + 23)
        user = packet.nul_text()
        if self.capabilities & CLIENT_PLUGIN_AUTH_LENENC:
            self.conn.log("length-encoded authentication data, which the client never asks for")
            raise ClientGone()
        if self.capabilities & CLIENT_SECURE_CONNECTION:
            answer = packet.take(packet.take(1)[0])
        else:
            answer = packet.nul_text()
        if self.capabilities & CLIENT_CONNECT_WITH_DB:
            packet.nul_text()
        if not self.capabilities & CLIENT_PROTOCOL_41:
            self.conn.log("no 4.1 protocol")
        if not self.capabilities & CLIENT_PLUGIN_AUTH:
            self.conn.log("no plugin authentication, though the server offers it")
            client_plugin = NATIVE
        else:
            client_plugin = packet.nul_text().decode()
        if not self.authenticate(user, client_plugin, answer, nonce):
            return False
        self.user = user
        if self.capabilities & CLIENT_COMPRESS:
            self.conn.compressed = True
        return True

    def change_user(self, packet, nonce):
        user = packet.nul_text()
        answer = packet.take(packet.take(1)[0])
        packet.nul_text()
        # With plugin authentication the character set and the method's name
        # follow (servers refuse the command without them).
        packet.take(2)
        if packet.at_end():
            self.conn.log("COM_CHANGE_USER without the method's name")
            self.conn.error(1047, "08S01", "Unknown command")
            return
        client_plugin = packet.nul_text().decode()
        if self.authenticate(user, client_plugin, answer, nonce):
            self.user = user

    def query(self, text):
        text = text.strip().lower()
        if text == b"select current_user()":
            self.result(b"current_user()", self.user + b"@localhost")
        elif text == b"select @@version":
            self.result(b"@@version", self.server.version.encode())
        else:
            self.conn.ok()

    def result(self, name, value):
        column = (lenenc_text(b"def") + lenenc_text(b"") + lenenc_text(b"") + lenenc_text(b"") +
                  lenenc_text(name) + lenenc_text(name) + b"\x0c" + struct.pack("<H", 255) +
                  struct.pack("<I", 256) + b"\xfd" + struct.pack("<H", 0) + b"\x1f\0\0")
        eof = b"\xfe\0\0\x02\0"
        for payload in (b"\x01", column, eof, lenenc_text(value), eof):
            self.conn.write_packet(payload)

    def serve(self, thread_id):
        nonce = new_nonce()
        self.conn.write_packet(self.greeting(nonce, thread_id))
        if not self.login(nonce):
            return
        while True:
            self.conn.seq = 0
            packet = Reader(self.conn.read_packet())
            command = packet.take(1)[0]
            if command == COM_QUIT:
                return
            if command == COM_QUERY:
                self.query(packet.data[1:])
            elif command in (COM_PING, COM_INIT_DB):
                self.conn.ok()
            elif command == COM_STATISTICS:
                self.conn.write_packet(b"Uptime: 1  Threads: 1  Questions: 1")
            elif command == COM_CHANGE_USER:
                self.change_user(packet, nonce)
            else:
                self.conn.error(1047, "08S01", "Unknown command")


def self_signed(key):
    """A certificate for localhost and 127.0.0.1 made from `key`, as PEM files
    in a folder of their own (the ssl module reads files only)."""
    name = x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, "localhost")])
    now = datetime.datetime.now(datetime.timezone.utc)
    cert = (x509.CertificateBuilder().subject_name(name).issuer_name(name)
            .public_key(key.public_key()).serial_number(x509.random_serial_number())
            .not_valid_before(now - datetime.timedelta(days=1))
            .not_valid_after(now + datetime.timedelta(days=30))
            .add_extension(x509.SubjectAlternativeName(
                [x509.DNSName("localhost"), x509.IPAddress(ipaddress.ip_address("127.0.0.1"))]),
                critical=False)
            .sign(key, hashes.SHA256()))
    folder = tempfile.mkdtemp(prefix="orbelin-fake-tls-")
    cert_path, key_path = os.path.join(folder, "cert.pem"), os.path.join(folder, "key.pem")
    with open(cert_path, "wb") as out:
        out.write(cert.public_bytes(serialization.Encoding.PEM))
    with open(key_path, "wb") as out:
        out.write(key.private_bytes(serialization.Encoding.PEM,
                                    serialization.PrivateFormat.TraditionalOpenSSL,
                                    serialization.NoEncryption()))
    return cert_path, key_path


class FakeServer:
    def __init__(self, version, log_path, tls=False, cert=None, key=None):
        self.version = version
        self.key = rsa.generate_private_key(public_exponent=65537, key_size=2048)
        self.public_pem = self.key.public_key().public_bytes(
            serialization.Encoding.PEM, serialization.PublicFormat.SubjectPublicKeyInfo)
        self.tls = None
        if tls or cert:
            made = not cert
            if made:
                cert, key = self_signed(self.key)
            self.tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            self.tls.load_cert_chain(cert, key)
            if made:
                shutil.rmtree(os.path.dirname(cert))
        self.log_path = log_path
        self.lock = threading.Lock()
        self.threads = 0

    def log(self, message):
        with self.lock, open(self.log_path, "a", encoding="utf-8") as log:
            log.write(message + "\n")

    def next_thread_id(self):
        with self.lock:
            self.threads += 1
            return self.threads

    def handler(self, secure):
        server = self

        class Handler(socketserver.BaseRequestHandler):
            def handle(self):
                # A client that goes quiet for this long is stuck; end it.
                self.request.settimeout(120)
                connection = Connection(self.request, server.log)
                try:
                    Session(connection, server, secure).serve(server.next_thread_id())
                except (ClientGone, OSError):
                    pass

        return Handler


class TcpServer(socketserver.ThreadingTCPServer):
    daemon_threads = True


class UnixServer(socketserver.ThreadingUnixStreamServer):
    daemon_threads = True


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--version", required=True)
    parser.add_argument("--socket", required=True)
    parser.add_argument("--log", required=True)
    parser.add_argument("--tls", action="store_true")
    parser.add_argument("--tls-cert")
    parser.add_argument("--tls-key")
    parser.add_argument("--public-key-out")
    args = parser.parse_args()

    fake = FakeServer(args.version, args.log, args.tls, args.tls_cert, args.tls_key)
    if args.public_key_out:
        with open(args.public_key_out, "wb") as out:
            out.write(fake.public_pem)
    open(args.log, "w").close()
    if os.path.exists(args.socket):
        os.unlink(args.socket)
    servers = [TcpServer(("127.0.0.1", 0), fake.handler(secure=False)),
               UnixServer(args.socket, fake.handler(secure=True))]
    for server in servers:
        threading.Thread(target=server.serve_forever, daemon=True).start()
    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())
    print(f"ready port={servers[0].server_address[1]}", flush=True)
    while not stop.wait(0.5):
        pass
    for server in servers:
        server.shutdown()
        server.server_close()
    os.unlink(args.socket)


if __name__ == "__main__":
    sys.exit(main())
