#include "sftp/known_hosts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <algorithm>

#include "sftp/ssh_handles.h"

namespace zv {

namespace {

bool isBase64(const QByteArray& text, qsizetype decodedSize = -1) {
    const auto result =
        QByteArray::fromBase64Encoding(text, QByteArray::AbortOnBase64DecodingErrors);
    return result && !result.decoded.isEmpty() &&
           (decodedSize < 0 || result.decoded.size() == decodedSize);
}

// One host of a known-hosts line: a name or address (patterns allowed), "[name]:port",
// or a hashed "|1|salt|hash".
bool isKnownHost(const QByteArray& host) {
    if (host.startsWith("|1|")) {
        const QList<QByteArray> parts = host.split('|');
        return parts.size() == 4 && isBase64(parts[2], 20) && isBase64(parts[3], 20);
    }
    QByteArray name = host;
    if (host.startsWith('[')) {
        const qsizetype close = host.indexOf("]:");
        bool ok = false;
        const int port = close > 1 ? host.mid(close + 2).toInt(&ok) : 0;
        if (!ok || port <= 0 || port > 65535) return false;
        name = host.mid(1, close - 1);
    }
    static const QByteArray kAllowed = QByteArrayLiteral(".-_:*?!%");
    return !name.isEmpty() && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               kAllowed.contains(c);
    });
}

// "hosts keytype base64 [comment]", the key itself whole.
bool isKnownHostsLine(const QByteArray& line) {
    if (line.contains('\0')) return false;
    const QList<QByteArray> fields = line.simplified().split(' ');
    if (fields.size() < 3) return false;
    const QList<QByteArray> hosts = fields[0].split(',');
    if (!std::all_of(hosts.begin(), hosts.end(), isKnownHost)) return false;
    const enum ssh_keytypes_e type = ssh_key_type_from_name(fields[1].constData());
    if (type == SSH_KEYTYPE_UNKNOWN || !isBase64(fields[2])) return false;
    ssh_key raw = nullptr;
    const int rc = ssh_pki_import_pubkey_base64(fields[2].constData(), type, &raw);
    const ssh::Key key(raw);
    return rc == SSH_OK && key;
}

// "SHA256:..." of the key the server showed; empty when libssh cannot tell.
QString sha256Fingerprint(ssh_session session) {
    ssh_key raw = nullptr;
    if (ssh_get_server_publickey(session, &raw) != SSH_OK) return {};
    const ssh::Key key(raw);
    unsigned char* rawHash = nullptr;
    size_t length = 0;
    if (ssh_get_publickey_hash(key.get(), SSH_PUBLICKEY_HASH_SHA256, &rawHash, &length) != 0)
        return {};
    const ssh::Hash hash(rawHash);
    const ssh::Chars text(ssh_get_fingerprint_hash(SSH_PUBLICKEY_HASH_SHA256, hash.get(), length));
    return text ? QString::fromLatin1(text.get()) : QString();
}

}  // namespace

Status checkKnownHostsFile(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) return {};
    const QString shown = QDir::toNativeSeparators(path);
    const Status damaged =
        fail(QStringLiteral("The file of known server keys %1 is damaged or cannot be read, so the "
                            "server cannot be checked; no password was sent. Restore %1 from your "
                            "backup, or delete it and ask ZOD for its key's fingerprint to compare "
                            "at the next connection")
                 .arg(shown));
    QFile file(path);
    if (!info.isFile() || !file.open(QIODevice::ReadOnly)) return damaged;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) return damaged;
    for (const QByteArray& line : bytes.split('\n')) {
        const QByteArray trimmed = line.trimmed();
        if (!trimmed.isEmpty() && !trimmed.startsWith('#') && !isKnownHostsLine(trimmed))
            return damaged;
    }
    return {};
}

Result<QString> checkHostKey(ssh_session session, const QString& host, int port,
                             const QString& knownHostsFile) {
    using R = Result<QString>;
    switch (ssh_session_is_known_server(session)) {
        case SSH_KNOWN_HOSTS_OK:
            return QString();
        case SSH_KNOWN_HOSTS_UNKNOWN:
        case SSH_KNOWN_HOSTS_NOT_FOUND:
            // First contact: remember this server's key, so that a later change shows.
            if (ssh_session_update_known_hosts(session) != SSH_OK)
                return R::failure(QStringLiteral("Could not record the identity of %1 port %2 in "
                                                 "%3: %4. The password was not sent")
                                      .arg(host)
                                      .arg(port)
                                      .arg(QDir::toNativeSeparators(knownHostsFile),
                                           QString::fromUtf8(ssh_get_error(session))));
            return sha256Fingerprint(session);
        case SSH_KNOWN_HOSTS_CHANGED:
        case SSH_KNOWN_HOSTS_OTHER:
            return R::failure(QStringLiteral(
                "The server's identity has changed since the last connection (its host key "
                "is different). The password was not sent. Call ZOD"));
        case SSH_KNOWN_HOSTS_ERROR:
            return R::failure(QStringLiteral("Could not check the server's identity: %1. The "
                                             "password was not sent")
                                  .arg(QString::fromUtf8(ssh_get_error(session))));
    }
    return R::failure(
        QStringLiteral("Could not check the server's identity. The password was not "
                       "sent"));
}

}  // namespace zv
