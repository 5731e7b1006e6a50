#include "sftp/remote_handles.h"

#include "sftp/sftp_session.h"

namespace zv {

QString RemoteHandles::add(RemoteHandle entry) {
    QString handle = QStringLiteral("h%1").arg(next_++);
    handles_.emplace(handle, std::move(entry));
    return handle;
}

RemoteFile* RemoteHandles::file(const QString& handle) {
    const auto it = handles_.find(handle);
    return handle.isEmpty() || it == handles_.end() ? nullptr
                                                    : std::get_if<RemoteFile>(&it->second);
}

RemoteDir* RemoteHandles::dir(const QString& handle) {
    const auto it = handles_.find(handle);
    return handle.isEmpty() || it == handles_.end() ? nullptr : std::get_if<RemoteDir>(&it->second);
}

std::optional<RemoteHandle> RemoteHandles::take(const QString& handle) {
    const auto it = handles_.find(handle);
    if (it == handles_.end()) return std::nullopt;
    RemoteHandle entry = std::move(it->second);
    handles_.erase(it);
    return entry;
}

void RemoteHandles::closeAll(SftpChannel& channel) {
    for (const auto& [name, entry] : handles_) {
        const auto* file = std::get_if<RemoteFile>(&entry);
        if (file && file->closeId) continue;
        const QByteArray& handle = file ? file->handle : std::get<RemoteDir>(entry).handle;
        const uint32_t id = channel.nextId();
        if (channel.send(id, wire::kClose, wire::withHandle(wire::kClose, id, handle)))
            channel.discard(id);
    }
    handles_.clear();
}

int closeRemote(SftpSession& session, const RemoteHandle& entry) {
    const auto close = [&](const QByteArray& handle) {
        return session.isOk(session.call(
            wire::kClose, [&](uint32_t id) { return wire::withHandle(wire::kClose, id, handle); }));
    };
    if (const auto* dir = std::get_if<RemoteDir>(&entry)) {
        if (!close(dir->handle))
            return session.failWith(
                QStringLiteral("Closing the server folder %1 failed").arg(dir->path));
        return 1;
    }
    const auto& file = std::get<RemoteFile>(entry);
    // An upload sent its close with its last write; its answer is here or on the way.
    const bool ok =
        file.closeId ? session.isOk(session.channel().wait(file.closeId)) : close(file.handle);
    if (!ok) return session.failWith(QStringLiteral("The server did not close %1").arg(file.path));
    return 1;
}

}  // namespace zv
