#!/usr/bin/python3
# SFTP server for the tests: asyncssh in a folder, with fault switches. Run as
#   /usr/bin/python3 sftp_server.py DIR USER PASSWORD PORT current|weak
# DIR holds home/ (the account's root), host_key (made when missing, then kept),
# control.json (the fault switches, re-read at every operation) and server.log. Prints
# "PORT <n>" once listening. With "weak" only methods that current clients refuse are
# offered (group1-sha1 key exchange, an ssh-rsa SHA-1 key, 3des-cbc). The log
# lines and the switches are described in tests/support/test_server.h.

import asyncio
import fnmatch
import itertools
import json
import os
import sys
import warnings

warnings.simplefilter("ignore")  # cryptography's deprecation notes about old ciphers

import asyncssh  # noqa: E402

DIR, USER, PASSWORD, PORT, ALGORITHMS = sys.argv[1:6]
LOG = open(os.path.join(DIR, "server.log"), "a", encoding="utf-8")
BASE = asyncssh.SFTPServer
ENDLESS = itertools.count()  # numbers for the names of endless listings


def log(line):
    print(line, file=LOG, flush=True)


def text(path):
    return path.decode("utf-8", "backslashreplace") if isinstance(path, bytes) else str(path)


def regular_file(name):
    attrs = asyncssh.SFTPAttrs(type=asyncssh.FILEXFER_TYPE_REGULAR, size=10,
                               permissions=0o100644, uid=0, gid=0, atime=0, mtime=0)
    return asyncssh.SFTPName(name, attrs=attrs)


def switches():
    # Read at every use: the tests switch faults on and off while the server runs.
    try:
        with open(os.path.join(DIR, "control.json"), encoding="utf-8") as f:
            return json.load(f)
    except (OSError, ValueError):
        return {}


def rule(kind, op, path, when=lambda rule: True):
    # The first rule of this kind for the operation and the path as the client sent it.
    return next((r for r in switches().get(kind) or [] if r["op"] == op and when(r)
                 and fnmatch.fnmatchcase(path, r["path"])), None)


class FaultySftpServer(BASE):
    def __init__(self, chan):
        super().__init__(chan, chroot=os.path.realpath(os.path.join(DIR, "home")).encode())
        self._paths = {}  # open file -> its path, as the switches see it
        self._dir = ""  # the folder of the last listing, for its readdir requests
        self._dropped = False

    def _drop(self, line):
        # Requests already in flight on this connection must not touch the files any more.
        log(line)
        self._dropped = True
        self.connection.abort()
        raise asyncssh.SFTPConnectionLost("Connection dropped by the test")

    async def _run(self, op, target, action):
        path = self._paths.get(target) or text(target)
        if self._dropped and op != "close":
            self._drop(f"{op} {path} after-drop")
        delay = rule("delay", op, path)
        if delay:
            log(f"{op} {path} delayed {delay['seconds']}s")
            await asyncio.sleep(delay["seconds"])
        drop = rule("drop", op, path)
        if drop and drop["when"] == "before":
            self._drop(f"{op} {path} dropped-before")
        if rule("fail", op, path):
            log(f"{op} {path} failed-by-switch")
            raise asyncssh.SFTPFailure("Failure injected by the test")
        result = action()
        log(f"{op} {path} ok")
        if drop:
            log(f"{op} {path} dropped-after")
            self.connection.abort()
        return result

    async def open(self, path, pflags, attrs):
        file_obj = await self._run("open", path, lambda: BASE.open(self, path, pflags, attrs))
        self._paths[file_obj] = text(path)
        return file_obj

    async def read(self, file_obj, offset, size):
        if rule("endless_read", "read", self._paths[file_obj]):
            return await self._run("read", file_obj, lambda: b"E" * size)
        short = rule("short_read", "read", self._paths[file_obj])
        if size > 1 and short:
            size = min(size // 2, short.get("bytes") or size)
        if rule("cut_read", "read", self._paths[file_obj], when=lambda r: offset >= r["offset"]):
            self._drop(f"read {self._paths[file_obj]} cut-at {offset}")
        return await self._run("read", file_obj, lambda: BASE.read(self, file_obj, offset, size))

    async def write(self, file_obj, offset, data):
        path, end = self._paths[file_obj], offset + len(data)
        cut = rule("cut_write", "write", path, when=lambda r: offset <= r["offset"] < end)
        short = rule("short_write", "write", path)  # half kept, success answered
        keep = cut["offset"] - offset if cut else len(data) // 2 if short else len(data)
        await self._run("write", path, lambda: BASE.write(self, file_obj, offset, data[:keep]))
        if cut:
            self._drop(f"write {path} cut-at {cut['offset']}")

    async def listdir(self, path):
        local, self._dir, entries = self.map_path(path), text(path).strip("/"), []
        for name in [b".", b".."] + sorted(os.listdir(local)):
            attrs = asyncssh.SFTPAttrs.from_local(os.lstat(os.path.join(local, name)))
            twice = rule("list_twice", "opendir", f"{self._dir}/{text(name)}")
            wrong = rule("listed_size", "opendir", f"{self._dir}/{text(name)}")
            if wrong:
                attrs.size = wrong["size"]
            entries += [asyncssh.SFTPName(name, attrs=attrs)] * (2 if twice else 1)
        extra = rule("extra_entries", "opendir", self._dir) or {"names": []}
        entries += [regular_file(name.encode()) for name in extra["names"]]
        return await self._run("opendir", path, lambda: entries)


async def rename_or_pretend(self, oldpath, newpath, *rest):
    # With "fake_rename" on, the rename answers success and leaves the file as it was.
    if rule("fake_rename", "rename", text(oldpath)):
        return await self._run("rename", oldpath, lambda: None)
    return await self._run("rename", oldpath, lambda: BASE.rename(self, oldpath, newpath, *rest))


FaultySftpServer.rename = rename_or_pretend


def passthrough(name, op):
    async def method(self, target, *rest):
        return await self._run(op, target, lambda: getattr(BASE, name)(self, target, *rest))

    return method


for name, op in [("close", "close"), ("stat", "stat"), ("lstat", "stat"), ("fstat", "stat"),
                 ("remove", "remove")]:
    setattr(FaultySftpServer, name, passthrough(name, op))

HANDLERS = asyncssh.sftp.SFTPServerHandler._packet_handlers
PLAIN_READDIR = HANDLERS[asyncssh.sftp.FXP_READDIR]


async def readdir_with_switches(handler, packet):
    server = handler._server
    await server._run("readdir", server._dir, lambda: None)
    if rule("endless_listing", "readdir", server._dir):
        # Fresh names keep every open listing from ever running dry.
        fresh = [regular_file(b"endless-%09d.txt" % next(ENDLESS)) for _ in range(100)]
        for names in handler._dir_handles.values():
            names.extend(fresh)
    return await PLAIN_READDIR(handler, packet)


HANDLERS[asyncssh.sftp.FXP_READDIR] = readdir_with_switches
PLAIN_SEND = asyncssh.sftp.SFTPServerHandler.send_packet


def flush_held(handler, held):
    if getattr(handler, "_held", None) is held:
        handler._held = None
        PLAIN_SEND(handler, *held)


def send_swapped(handler, pkttype, pktid, *args):
    # With "reorder" on, a status or data reply waits for the next reply and goes after
    # it (or goes alone after 50 ms): answers come out of order, as the protocol allows.
    held, handler._held = getattr(handler, "_held", None), None
    if held:
        PLAIN_SEND(handler, pkttype, pktid, *args)
        PLAIN_SEND(handler, *held)
    elif switches().get("reorder") and pkttype in (asyncssh.sftp.FXP_STATUS,
                                                   asyncssh.sftp.FXP_DATA):
        handler._held = held = (pkttype, pktid, *args)
        asyncio.get_running_loop().call_later(0.05, flush_held, handler, held)
    else:
        PLAIN_SEND(handler, pkttype, pktid, *args)


asyncssh.sftp.SFTPServerHandler.send_packet = send_swapped


class PasswordServer(asyncssh.SSHServer):
    def password_auth_supported(self):
        return True

    def validate_password(self, username, password):
        ok = username == USER and password == PASSWORD
        log(f"auth user={username} password={password} {'accepted' if ok else 'refused'}")
        return ok

    def session_requested(self):
        if switches().get("refuse_sftp"):
            log("session refused-by-switch")
            return False
        return asyncssh.stream.SSHServerStreamSession(None, FaultySftpServer, 3, False)


async def pipe(reader, writer, trickling):
    # Copies until end of stream; with "trickle" on, one byte per "seconds" after "after".
    # A connection reset ends the task, and with it the relay.
    sent = 0
    while data := await reader.read(65536):
        while data:
            trickle = (switches().get("trickle") if trickling else None) or {}
            n = max(1, trickle["after"] - sent) if trickle else len(data)
            writer.write(data[:n])
            await writer.drain()
            sent, data = sent + len(data[:n]), data[n:]
            if trickle and sent > trickle["after"]:
                await asyncio.sleep(trickle["seconds"])


async def relay(client_reader, client_writer, ssh_port):
    # One client connection through to the SSH server: either side ending ends both.
    ssh_reader, ssh_writer = await asyncio.open_connection("127.0.0.1", ssh_port)
    tasks = [asyncio.create_task(pipe(client_reader, ssh_writer, False)),
             asyncio.create_task(pipe(ssh_reader, client_writer, True))]
    await asyncio.wait(tasks, return_when=asyncio.FIRST_COMPLETED)
    for task, writer in zip(tasks, (ssh_writer, client_writer)):
        task.cancel()
        writer.close()


async def serve():
    key, alg, options = os.path.join(DIR, "host_key"), "ssh-ed25519", {}
    if ALGORITHMS == "weak":
        alg, options = "ssh-rsa", dict(kex_algs=["diffie-hellman-group1-sha1"],
                                       signature_algs=["ssh-rsa"], encryption_algs=["3des-cbc"],
                                       mac_algs=["hmac-sha1"])
    if not os.path.exists(key):
        asyncssh.generate_private_key(alg).write_private_key(key)
    ssh = await asyncssh.create_server(PasswordServer, "127.0.0.1", 0, server_host_keys=[key],
                                       **options)
    ssh_port = ssh.sockets[0].getsockname()[1]
    # reuse_port: a restart on the same port must not wait for connections that the
    # killed server left behind (their clients may still hold them open).
    server = await asyncio.start_server(lambda r, w: relay(r, w, ssh_port), "127.0.0.1",
                                        int(PORT), reuse_port=True)
    print(f"PORT {server.sockets[0].getsockname()[1]}", flush=True)
    await server.serve_forever()


asyncio.run(serve())
