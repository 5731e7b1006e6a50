#!/bin/sh
# OpenSSH's sshd for the tests, as a child of the test run, on 127.0.0.1. Run as
#   sh sshd_server.sh DIR USER PORT    (the password on standard input: in no process list)
# The account USER (home DIR/home, a uid no account or group of the machine has) lives only
# in copies of the machine's account files in DIR, which stand in for them inside sshd's
# own mount namespace: nothing is added to the machine. The account's lines come first, so
# that they win over any of the same name. sshd is the first process of its own pid
# namespace, so that its connection processes end with it.
set -eu
cd "$1"
umask 077
hash=$(openssl passwd -6 -stdin)
id=61000
while grep -q ":$id:" /etc/passwd /etc/group; do id=$((id + 1)); done
echo "$2:$hash:::::::" | cat - /etc/shadow >shadow
echo "$2:x:$id:$id::$1/home:/usr/sbin/nologin" | cat - /etc/passwd >passwd
echo "$2:x:$id:" | cat - /etc/group >group
printf '%s\n' "ListenAddress 127.0.0.1" "UsePAM no" "AllowTcpForwarding no" "X11Forwarding no" \
    "Subsystem sftp internal-sftp" "ForceCommand internal-sftp" "AllowUsers $2" \
    "HostKey $1/host_key" >sshd_config
[ -e host_key ] || ssh-keygen -q -t ed25519 -N "" -f host_key
chmod 711 .
chmod 644 passwd group
chown -R "$id:$id" home
exec unshare --mount --propagation private --pid --fork --kill-child /bin/sh -ec '
    for f in passwd shadow group; do mount --bind "$0/$f" "/etc/$f"; done
    mount -t tmpfs tmpfs /run && mkdir -m 755 /run/sshd
    exec /usr/sbin/sshd -D -e -f "$0/sshd_config" -p "$1"' "$1" "$3"
