#pragma once
// The servers' host keys: the file that records them (the first key each server showed)
// is checked before libssh reads it, and a server is trusted only while it shows the key
// recorded for it.
#include <libssh/libssh.h>

#include <QString>

#include "base/result.h"

namespace zv {

// libssh takes a known-hosts file it cannot parse for one without this server, and would
// then record whatever key the server shows: so the file is checked first. Only a missing
// or empty file means a first contact.
Status checkKnownHostsFile(const QString& path);

// The key `session`'s server showed, checked against `knownHostsFile` (`host` and `port`
// as the messages name them). At first contact the key is recorded and its fingerprint
// ("SHA256:...", empty when libssh cannot tell) is the value; a known key gives an empty
// one; anything else fails with words that say the password was not sent.
Result<QString> checkHostKey(ssh_session session, const QString& host, int port,
                             const QString& knownHostsFile);

}  // namespace zv
