#!/usr/bin/python3
"""SFTP server for the tests: a real SSH/SFTP server in a folder, with fault switches.

Run with Debian's Python (/usr/bin/python3) and its python3-asyncssh:

    sftp_server.py --root DIR --host-key FILE --user NAME --password PASS
                   [--port N] [--control FILE] [--log FILE] [--weak-algorithms]

The account's home is DIR (a virtual chroot; DIR/claims and DIR/reports are created).
Paths are relative to it, as the client sends them ("claims/x"). When listening, the
server prints "PORT <n>" on its own line and flushes stdout. The host key (ed25519) is
generated into FILE when missing and kept, so a restart shows the same identity;
--weak-algorithms offers only methods that current clients refuse (diffie-hellman-
group1-sha1 key exchange, an ssh-rsa SHA-1 host key kept in FILE.rsa, 3des-cbc).

The log file gets one line per password attempt, with the password received, and one
per SFTP operation: "<op> <path> <result>".

The control file holds the fault switches as JSON. It is read again at every operation,
so a test may rewrite it (atomically) while the server runs. A missing or unreadable
file means no faults.

  {
    "fail":  [RULE...],  the operation answers with an SFTP failure
    "drop":  [RULE...],  the whole SSH connection is cut when the operation is hit,
                         before doing it, or after doing it with "when": "after"
                         (the reply is then lost)
    "delay": [RULE... with "seconds": S],  the answer is held back S seconds
    "short_write": [RULE...],  writes store only half the data yet report success
    "short_read": [RULE...],   reads answer with only the first half of what was asked
    "refuse_sftp": true,       the SFTP subsystem request is refused
    "extra_entries": {"reports": [NAME...], "claims": [...]}
                         listed as regular files of 10 bytes that do not exist
  }

  RULE = {"op": OP, "path": GLOB, "times": N, "id": ANY}
    OP: open write close read stat remove rename opendir listdir readdir
        (opendir and listdir are the same request; stat covers stat, lstat, fstat)
    GLOB: fnmatch pattern on the path as the client sent it; default "*"
    times: the rule fires N times, then no more (default: every time). Hits are
        counted per distinct rule text; "id" only tells equal rules apart.
"""

import argparse
import asyncio
import fnmatch
import json
import os
import sys
import warnings

warnings.filterwarnings("ignore", category=DeprecationWarning)
try:
    from cryptography.utils import CryptographyDeprecationWarning

    warnings.filterwarnings("ignore", category=CryptographyDeprecationWarning)
except ImportError:
    pass

import asyncssh  # noqa: E402
from asyncssh.sftp import FXP_READDIR, SFTPServerHandler  # noqa: E402
from asyncssh.stream import SSHServerStreamSession  # noqa: E402

ARGS = None
LOG = None


def log(line):
    if LOG:
        LOG.write(line + "\n")
        LOG.flush()


def text(path):
    return path.decode("utf-8", "replace") if isinstance(path, bytes) else str(path)


class Control:
    """The fault switches, re-read from the control file at every use."""

    def __init__(self, path):
        self.path = path
        self.hits = {}

    def load(self):
        if not self.path:
            return {}
        try:
            with open(self.path, encoding="utf-8") as f:
                data = json.load(f)
            return data if isinstance(data, dict) else {}
        except (OSError, ValueError):
            return {}

    def match(self, kind, op, path, data=None):
        data = self.load() if data is None else data
        for rule in data.get(kind, []) or []:
            rule_op = rule.get("op")
            ops = {op, "listdir" if op == "opendir" else op}
            if rule_op is not None and rule_op not in ops:
                continue
            if not fnmatch.fnmatchcase(path, rule.get("path", "*")):
                continue
            times = rule.get("times")
            if times is not None and times >= 0:
                key = (kind, json.dumps(rule, sort_keys=True))
                used = self.hits.get(key, 0)
                if used >= times:
                    continue
                self.hits[key] = used + 1
            return rule
        return None


CONTROL = Control(None)


class FaultySftpServer(asyncssh.SFTPServer):
    def __init__(self, chan):
        super().__init__(chan, chroot=ARGS.root.encode())
        self._paths = {}
        self._last_dir = ""

    async def _gate(self, op, path):
        """Apply delay, drop and fail switches; returns a drop-after rule to honour."""
        data = CONTROL.load()
        delay = CONTROL.match("delay", op, path, data)
        if delay:
            log(f"{op} {path} delayed {delay.get('seconds', 1)}s")
            await asyncio.sleep(float(delay.get("seconds", 1)))
        drop = CONTROL.match("drop", op, path, data)
        if drop and drop.get("when", "before") != "after":
            log(f"{op} {path} dropped-before")
            self.connection.abort()
            raise asyncssh.SFTPConnectionLost("Connection dropped by the test")
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
        base = super().open
        file_obj = await self._run("open", path, lambda: base(path, pflags, attrs))
        self._paths[file_obj] = text(path)
        return file_obj

    async def close(self, file_obj):
        base = super().close
        path = self._paths.pop(file_obj, "?")
        await self._run("close", path, lambda: base(file_obj))

    async def read(self, file_obj, offset, size):
        base = super().read
        path = self._paths.get(file_obj, "?")
        if size > 1 and CONTROL.match("short_read", "read", path):
            size //= 2
        return await self._run("read", path, lambda: base(file_obj, offset, size))

    async def write(self, file_obj, offset, data):
        base = super().write
        path = self._paths.get(file_obj, "?")
        if CONTROL.match("short_write", "write", path):
            log(f"write {path} short {len(data) // 2} of {len(data)}")
            base(file_obj, offset, data[: len(data) // 2])
            return len(data)
        return await self._run("write", path, lambda: base(file_obj, offset, data))

    async def stat(self, path):
        base = super().stat
        return await self._run("stat", path, lambda: base(path))

    async def lstat(self, path):
        base = super().lstat
        return await self._run("stat", path, lambda: base(path))

    async def fstat(self, file_obj):
        base = super().fstat
        return await self._run("stat", self._paths.get(file_obj, "?"), lambda: base(file_obj))

    async def remove(self, path):
        base = super().remove
        await self._run("remove", path, lambda: base(path))

    async def rename(self, oldpath, newpath):
        base = super().rename
        await self._run("rename", oldpath, lambda: base(oldpath, newpath))

    def _entries(self, path):
        local = self.map_path(path)
        names = [b".", b".."] + sorted(os.listdir(local))
        entries = []
        for name in names:
            attrs = asyncssh.SFTPAttrs.from_local(os.lstat(os.path.join(local, name)))
            entries.append(asyncssh.SFTPName(name, attrs=attrs))
        extra = CONTROL.load().get("extra_entries", {}) or {}
        for name in extra.get(text(path).strip("/"), []) or []:
            attrs = asyncssh.SFTPAttrs(type=asyncssh.FILEXFER_TYPE_REGULAR, size=10,
                                       permissions=0o100644, uid=0, gid=0,
                                       atime=0, mtime=0)
            entries.append(asyncssh.SFTPName(name.encode(), attrs=attrs))
        return entries

    async def listdir(self, path):
        self._last_dir = text(path)
        return await self._run("opendir", path, lambda: self._entries(path))

    async def gate_readdir(self):
        await self._gate("readdir", self._last_dir)
        log(f"readdir {self._last_dir} ok")


_plain_readdir = SFTPServerHandler._packet_handlers[FXP_READDIR]


async def _readdir_with_switches(handler, packet):
    server = handler._server
    if isinstance(server, FaultySftpServer):
        await server.gate_readdir()
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


def host_key(path, alg):
    if not os.path.exists(path):
        key = asyncssh.generate_private_key(alg)
        key.write_private_key(path)
    return asyncssh.read_private_key(path)


async def serve():
    os.makedirs(os.path.join(ARGS.root, "claims"), exist_ok=True)
    os.makedirs(os.path.join(ARGS.root, "reports"), exist_ok=True)
    options = {}
    if ARGS.weak_algorithms:
        keys = [host_key(ARGS.host_key + ".rsa", "ssh-rsa")]
        options = dict(kex_algs=["diffie-hellman-group1-sha1"], signature_algs=["ssh-rsa"],
                       encryption_algs=["3des-cbc"], mac_algs=["hmac-sha1"])
    else:
        keys = [host_key(ARGS.host_key, "ssh-ed25519")]
    # reuse_port: a restart on the same port must not wait for connections that the
    # killed server left behind (their clients may still hold them open).
    server = await asyncssh.create_server(PasswordServer, ARGS.host, ARGS.port,
                                          server_host_keys=keys, reuse_port=True, **options)
    port = server.sockets[0].getsockname()[1]
    print(f"PORT {port}", flush=True)
    await server.wait_closed()


def main():
    global ARGS, LOG, CONTROL
    parser = argparse.ArgumentParser(description="SFTP server with fault switches")
    parser.add_argument("--root", required=True)
    parser.add_argument("--host-key", required=True)
    parser.add_argument("--user", default="k9site")
    parser.add_argument("--password", default="Secret-Pass1")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--host", default="127.0.0.1", choices=["127.0.0.1"])
    parser.add_argument("--control")
    parser.add_argument("--log")
    parser.add_argument("--weak-algorithms", action="store_true")
    ARGS = parser.parse_args()
    ARGS.root = os.path.realpath(ARGS.root)
    CONTROL = Control(ARGS.control)
    if ARGS.log:
        LOG = open(ARGS.log, "a", encoding="utf-8")
    try:
        asyncio.run(serve())
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
