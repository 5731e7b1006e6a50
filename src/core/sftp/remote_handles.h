#pragma once
// The handles SftpClient gives out: texts ("h1", "h2", ...) that stand for a file or a
// folder the server has open, with what the client must remember of each.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <map>
#include <optional>
#include <variant>

namespace zv {

class SftpChannel;
class SftpSession;

struct RemoteFile {
    QByteArray handle;  // the server's
    QString path;
    qint64 sent = 0;
    uint32_t closeId = 0;  // a close already on its way
};
struct RemoteDir {
    QByteArray handle;
    QString path;
};
using RemoteHandle = std::variant<RemoteFile, RemoteDir>;

class RemoteHandles {
public:
    // The new handle's text; a text is never given twice by one client.
    QString add(RemoteHandle entry);
    // The open file or folder `handle` stands for; null for any other text.
    RemoteFile* file(const QString& handle);
    RemoteDir* dir(const QString& handle);
    // Forgets `handle`, giving back what it stood for.
    std::optional<RemoteHandle> take(const QString& handle);
    // Every handle is closed on the way, the answers not waited for, and forgotten: an
    // upload's close already on its way is not sent again.
    void closeAll(SftpChannel& channel);
    void clear() { handles_.clear(); }

private:
    std::map<QString, RemoteHandle> handles_;
    int next_ = 1;
};

// Closes what a handle stood for on the server: 1 when the server closed it.
int closeRemote(SftpSession& session, const RemoteHandle& entry);

}  // namespace zv
