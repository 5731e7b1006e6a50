#include <QLocale>
#include <deque>

#include "sftp/sftp_session.h"
#include "sftp/transfers.h"

namespace zv {

namespace {

// No real folder of claims or reports holds more; an endless listing would fill the
// memory.
constexpr qint64 kMostListed = 100'000;
// What one listed entry costs on the wire besides its names (lengths and attributes).
constexpr qint64 kEntryOverhead = 64;

// Two requests in flight: the one that finds the end is already on its way when the last
// names come (a request after the end only finds the end again).
class Listing {
public:
    Listing(SftpSession& session, const RemoteDir& dir)
        : session_(session),
          ch_(session.channel()),
          dir_(dir),
          readFailed_(QStringLiteral("Reading the server folder %1 failed").arg(dir.path)) {}

    std::optional<RemoteListing> run() {
        if (!ask() || !ask()) return failed(readFailed_, true);
        session_.forgetCode();
        for (;;) {
            const Result<wire::Reply> reply = ch_.wait(asked_.front());
            asked_.pop_front();
            if (!reply || reply->type == wire::kStatus) {
                if (reply && reply->code == wire::kEof) break;
                (void)session_.isOk(reply);
                return failed(readFailed_, true);
            }
            session_.kick();
            if (!take(reply->names))
                return failed(QStringLiteral("The server listed more than %1 files in %2; the "
                                             "list was not read. Call ZOD")
                                  .arg(QLocale(QLocale::English).toString(kMostListed), dir_.path),
                              false);
            // A long listing is a transfer too: it gets the time its size needs.
            session_.allow(listedBytes_);
            if (!ask()) return failed(readFailed_, true);
        }
        for (const uint32_t id : asked_) ch_.discard(id);
        return RemoteListing(std::move(entries_));
    }

private:
    bool ask() {
        const uint32_t id = ch_.nextId();
        if (!ch_.send(id, wire::kReaddir, wire::withHandle(wire::kReaddir, id, dir_.handle)))
            return false;
        asked_.push_back(id);
        return true;
    }

    // False once the folder holds too many names.
    bool take(const std::vector<wire::NameEntry>& names) {
        for (const wire::NameEntry& e : names) {
            if (++listed_ > kMostListed) return false;
            listedBytes_ += kEntryOverhead + e.name.size() + e.longName.size();
            // Only regular files are reports or claims; ".", "..", folders and links are not.
            if (!e.attrs.isRegular() || e.name.isEmpty() || e.name == "." || e.name == "..")
                continue;
            entries_.push_back(
                {QString::fromUtf8(e.name), static_cast<qint64>(e.attrs.size), e.name});
        }
        return true;
    }

    std::nullopt_t failed(const QString& text, bool withReason) {
        for (const uint32_t id : asked_) ch_.discard(id);
        withReason ? session_.failWith(text) : session_.fail(text);
        return std::nullopt;
    }

    SftpSession& session_;
    SftpChannel& ch_;
    const RemoteDir& dir_;
    const QString readFailed_;
    std::vector<RemoteEntry> entries_;
    std::deque<uint32_t> asked_;
    qint64 listed_ = 0, listedBytes_ = 0;
};

}  // namespace

std::optional<RemoteListing> readListing(SftpSession& session, const RemoteDir& dir) {
    return Listing(session, dir).run();
}

}  // namespace zv
