#!/usr/bin/python3
"""SFTP server for the tests: asyncssh in a folder, with fault switches.

    /usr/bin/python3 sftp_server.py --root DIR --host-key FILE --user NAME --password PASS
                     [--port N] [--control FILE] [--log FILE] [--weak-algorithms]

Prints "PORT <n>" once listening. The host key is made when missing and kept; with
--weak-algorithms only methods that current clients refuse are offered (group1-sha1 key
exchange, an ssh-rsa SHA-1 key in FILE.rsa, 3des-cbc). The log lines and the switches of
the control file are described in tests/support/test_server.h.
"""

import argparse
import asyncio
import contextlib
import fnmatch
import json
import os
import sys
import warnings

warnings.simplefilter("ignore")  # cryptography's deprecation notes about old ciphers

import asyncssh  # noqa: E402
from asyncssh.sftp import FXP_READDIR, SFTPServerHandler  # noqa: E402
from asyncssh.stream import SSHServerStreamSession  # noqa: E402

ARGS = None
LOG = None
BASE = asyncssh.SFTPServer


def log(line):
    print(line, file=LOG, flush=True)


def text(path):
    return path.decode("utf-8", "backslashreplace") if isinstance(path, bytes) else str(path)


def regular_file(name, size=10):
    attrs = asyncssh.SFTPAttrs(type=asyncssh.FILEXFER_TYPE_REGULAR, size=size,
                               permissions=0o100644, uid=0, gid=0, atime=0, mtime=0)
    return asyncssh.SFTPName(name, attrs=attrs)


class Control:
    """The fault switches, re-read from the control file at every use."""

    def __init__(self, path):
        self.path = path
        self.hits = {}

    def load(self):
        try:
            with open(self.path, encoding="utf-8") as f:
                data = json.load(f)
            return data if isinstance(data, dict) else {}
        except (OSError, TypeError, ValueError):
            return {}

    def match(self, kind, op, path, data=None, when=lambda rule: True):
        """The first rule of `kind` for this operation and path, counting its "times"."""
        data = self.load() if data is None else data
        for rule in data.get(kind) or []:
            if rule.get("op") not in (None, op, {"opendir": "listdir"}.get(op, op)):
                continue
            if not fnmatch.fnmatchcase(path, rule.get("path", "*")) or not when(rule):
                continue
            if rule.get("times", -1) >= 0:
                key = (kind, json.dumps(rule, sort_keys=True))
                if self.hits.get(key, 0) >= rule["times"]:
                    continue
                self.hits[key] = self.hits.get(key, 0) + 1
            return rule
        return None


CONTROL = Control(None)


class FaultySftpServer(BASE):
    def __init__(self, chan):
        super().__init__(chan, chroot=ARGS.root.encode())
        self._paths = {}
        self._last_dir = ""
        self._endless = 0
        self._dropped = False

    def _drop(self, line):
        # Requests already in flight on this connection must not touch the files any more.
        log(line)
        self._dropped = True
        self.connection.abort()
        raise asyncssh.SFTPConnectionLost("Connection dropped by the test")

    async def _gate(self, op, path):
        """Apply delay, drop and fail switches; returns a drop-after rule to honour."""
        if self._dropped and op != "close":
            self._drop(f"{op} {path} after-drop")
        data = CONTROL.load()
        delay = CONTROL.match("delay", op, path, data)
        if delay:
            log(f"{op} {path} delayed {delay.get('seconds', 1)}s")
            await asyncio.sleep(float(delay.get("seconds", 1)))
        drop = CONTROL.match("drop", op, path, data)
        if drop and drop.get("when", "before") != "after":
            self._drop(f"{op} {path} dropped-before")
        if CONTROL.match("fail", op, path, data):
            log(f"{op} {path} failed-by-switch")
            raise asyncssh.SFTPFailure("Failure injected by the test")
        return drop

    async def _run(self, op, path, action):
        path = text(path)
        drop_after = await self._gate(op, path)
        try:
            result = action()
            if asyncio.iscoroutine(result):
                result = await result
        except Exception as exc:
            log(f"{op} {path} error {type(exc).__name__}: {exc}")
            raise
        log(f"{op} {path} ok")
        if drop_after:
            log(f"{op} {path} dropped-after")
            self.connection.abort()
        return result

    async def open(self, path, pflags, attrs):
        file_obj = await self._run("open", path, lambda: BASE.open(self, path, pflags, attrs))
        self._paths[file_obj] = text(path)
        return file_obj

    async def close(self, file_obj):
        await self._run("close", self._paths.pop(file_obj, "?"), lambda: BASE.close(self, file_obj))

    async def read(self, file_obj, offset, size):
        path = self._paths.get(file_obj, "?")
        if CONTROL.match("endless_read", "read", path):
            return await self._run("read", path, lambda: b"E" * size)
        if size > 1 and CONTROL.match("short_read", "read", path):
            size //= 2
        return await self._run("read", path, lambda: BASE.read(self, file_obj, offset, size))

    async def write(self, file_obj, offset, data):
        base = lambda data: BASE.write(self, file_obj, offset, data)
        path = self._paths.get(file_obj, "?")
        if self._dropped:
            self._drop(f"write {path} after-drop")
        cut = CONTROL.match("cut_write", "write", path,
                            when=lambda r: offset <= r["offset"] < offset + len(data))
        if cut:
            base(data[: cut["offset"] - offset])
            self._drop(f"write {path} cut-at {cut['offset']}")
        if CONTROL.match("short_write", "write", path):
            log(f"write {path} short {len(data) // 2} of {len(data)}")
            base(data[: len(data) // 2])
            return len(data)
        return await self._run("write", path, lambda: base(data))

    async def stat(self, path):
        return await self._run("stat", path, lambda: BASE.stat(self, path))

    async def lstat(self, path):
        return await self._run("stat", path, lambda: BASE.lstat(self, path))

    async def fstat(self, file_obj):
        path = self._paths.get(file_obj, "?")
        return await self._run("stat", path, lambda: BASE.fstat(self, file_obj))

    async def remove(self, path):
        await self._run("remove", path, lambda: BASE.remove(self, path))

    async def rename(self, oldpath, newpath):
        await self._run("rename", oldpath, lambda: BASE.rename(self, oldpath, newpath))

    def _entries(self, path):
        local, folder = self.map_path(path), text(path).strip("/")
        data = CONTROL.load()
        entries = []
        for name in [b".", b".."] + sorted(os.listdir(local)):
            attrs = asyncssh.SFTPAttrs.from_local(os.lstat(os.path.join(local, name)))
            twice = CONTROL.match("list_twice", "opendir", f"{folder}/{text(name)}", data)
            entries += [asyncssh.SFTPName(name, attrs=attrs)] * (2 if twice else 1)
        extra = data.get("extra_entries") or {}
        entries += [regular_file(name.encode()) for name in extra.get(folder) or []]
        return entries

    async def listdir(self, path):
        self._last_dir = text(path).strip("/")
        return await self._run("opendir", path, lambda: self._entries(path))

    async def gate_readdir(self, handler):
        await self._gate("readdir", self._last_dir)
        if CONTROL.match("endless_listing", "readdir", self._last_dir):
            # Fresh names keep every open listing from ever running dry.
            fresh = [regular_file(b"endless-%09d.txt" % (self._endless + i)) for i in range(100)]
            self._endless += len(fresh)
            for names in handler._dir_handles.values():
                names.extend(fresh)
        log(f"readdir {self._last_dir} ok")


_plain_readdir = SFTPServerHandler._packet_handlers[FXP_READDIR]


async def _readdir_with_switches(handler, packet):
    if isinstance(handler._server, FaultySftpServer):
        await handler._server.gate_readdir(handler)
    return await _plain_readdir(handler, packet)


SFTPServerHandler._packet_handlers[FXP_READDIR] = _readdir_with_switches


class SessionWithSwitches(SSHServerStreamSession):
    def subsystem_requested(self, subsystem):
        if subsystem == "sftp" and CONTROL.load().get("refuse_sftp"):
            log("subsystem sftp refused-by-switch")
            return False
        return super().subsystem_requested(subsystem)


class PasswordServer(asyncssh.SSHServer):
    def begin_auth(self, username):
        return True

    def password_auth_supported(self):
        return True

    def validate_password(self, username, password):
        ok = username == ARGS.user and password == ARGS.password
        log(f"auth user={username} password={password} {'accepted' if ok else 'refused'}")
        return ok

    def session_requested(self):
        return SessionWithSwitches(None, FaultySftpServer, 3, False)


async def pipe(reader, writer, trickling):
    """Copies until end of stream; with "trickle" on, one byte per "seconds" after "after"."""
    sent = 0
    with contextlib.suppress(OSError):
        while data := await reader.read(65536):
            while data:
                trickle = (CONTROL.load().get("trickle") or {}) if trickling else {}
                after = int(trickle.get("after", 0))
                n = len(data) if not trickle else 1 if sent >= after else after - sent
                writer.write(data[:n])
                await writer.drain()
                if trickle and sent >= after:
                    await asyncio.sleep(float(trickle.get("seconds", 1)))
                sent, data = sent + len(data[:n]), data[n:]


async def relay(client_reader, client_writer, ssh_port):
    """One client connection: either side ending ends both."""
    try:
        ssh_reader, ssh_writer = await asyncio.open_connection("127.0.0.1", ssh_port)
    except OSError:
        client_writer.close()
        return
    tasks = [asyncio.create_task(pipe(client_reader, ssh_writer, False)),
             asyncio.create_task(pipe(ssh_reader, client_writer, True))]
    await asyncio.wait(tasks, return_when=asyncio.FIRST_COMPLETED)
    for task in tasks:
        task.cancel()
    ssh_writer.close()
    client_writer.close()


def host_key(path, alg):
    if not os.path.exists(path):
        asyncssh.generate_private_key(alg).write_private_key(path)
    return asyncssh.read_private_key(path)


async def serve():
    for folder in ("claims", "reports"):
        os.makedirs(os.path.join(ARGS.root, folder), exist_ok=True)
    options = {}
    if ARGS.weak_algorithms:
        keys = [host_key(ARGS.host_key + ".rsa", "ssh-rsa")]
        options = dict(kex_algs=["diffie-hellman-group1-sha1"], signature_algs=["ssh-rsa"],
                       encryption_algs=["3des-cbc"], mac_algs=["hmac-sha1"])
    else:
        keys = [host_key(ARGS.host_key, "ssh-ed25519")]
    ssh = await asyncssh.create_server(PasswordServer, "127.0.0.1", 0,
                                       server_host_keys=keys, **options)
    ssh_port = ssh.sockets[0].getsockname()[1]
    # reuse_port: a restart on the same port must not wait for connections that the
    # killed server left behind (their clients may still hold them open).
    server = await asyncio.start_server(lambda r, w: relay(r, w, ssh_port), "127.0.0.1",
                                        ARGS.port, reuse_port=True)
    print(f"PORT {server.sockets[0].getsockname()[1]}", flush=True)
    await server.serve_forever()


def main():
    global ARGS, LOG, CONTROL
    parser = argparse.ArgumentParser(description="SFTP server with fault switches")
    for name in ("--root", "--host-key", "--user", "--password"):
        parser.add_argument(name, required=True)
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--control")
    parser.add_argument("--log", default=os.devnull)
    parser.add_argument("--weak-algorithms", action="store_true")
    ARGS = parser.parse_args()
    ARGS.root = os.path.realpath(ARGS.root)
    CONTROL = Control(ARGS.control)
    LOG = open(ARGS.log, "a", encoding="utf-8")
    try:
        asyncio.run(serve())
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
