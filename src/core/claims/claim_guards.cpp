// The guards before a claim file is numbered.
#include "claims/claim_guards.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include "base/file_digest.h"
#include "base/text_file.h"
#include "base/workstation_rules.h"
#include "claims/claim_check_guard.h"
#include "x12/x12.h"

namespace zv {
namespace {

struct Look {
    qint64 size = -1;
    QDateTime modified;
    bool operator==(const Look&) const = default;
};

std::optional<Look> lookAt(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists()) return std::nullopt;
    return Look{info.size(), info.lastModified()};
}

struct ClaimLook {
    qint64 size = 0;
    QByteArray sha256;
    std::optional<x12::ClaimFileFacts> facts;
    QString damage;  // why the envelope looks damaged; empty when it is sound or not X12
    ClaimCheckVerdict check;
};

// `name` is `file` as shown to staff.
Result<ClaimLook> lookInside(const GuardSetup& setup, const QString& fileName, const QString& name,
                             bool x12Type, bool joinedType) {
    MappedFile file(setup.practiceFolder + fileName);
    if (Status opened = file.open(); !opened) return Result<ClaimLook>::failure(opened.reason());
    ClaimLook look;
    look.size = file.bytes().size();
    look.sha256 = sha256(file.bytes());
    if (x12Type || x12::looksLikeInterchange(file.bytes())) {
        // A dental package's source may itself be a join (of a run cut off while joining).
        Result<x12::ClaimFileFacts> facts =
            joinedType ? x12::readJoinedClaimFile(file.bytes()) : x12::readClaimFile(file.bytes());
        if (facts)
            look.facts = *facts;
        else
            look.damage = facts.reason();
    }
    // A damaged envelope is asked about already; its content would only repeat it.
    if (look.facts && !setup.checksDir.isEmpty())
        look.check =
            checkBeforeNumbering(QByteArray::fromRawData(file.bytes().data(), file.bytes().size()),
                                 fileName, name, setup.checksDir, QDate::currentDate());
    return look;
}

// The backups in claimsbu/ of files known to be sent: the history kept before the
// submission ledger existed. Hashes and headers are read only when sizes (or X12) call
// for it, and at most once per run.
class SentBackups {
public:
    explicit SentBackups(const GuardSetup& setup) : s_(setup) {}

    std::optional<PriorSend> find(const ClaimLook& claim) {
        if (!listed_) list();
        std::optional<x12::InterchangeId> id;
        if (claim.facts && !claim.facts->interchangeNumber.trimmed().isEmpty())
            id = x12::InterchangeId{claim.facts->sender, claim.facts->interchangeNumber};
        const Backup* newest = nullptr;
        for (Backup& b : backups_) {
            const bool same =
                (b.size == claim.size && hashOf(b) == claim.sha256) || (id && idOf(b) == id);
            if (same && (!newest || b.modified > newest->modified)) newest = &b;
        }
        if (!newest) return std::nullopt;
        return PriorSend{newest->name, newest->modified};
    }

private:
    struct Backup {
        QString name;
        qint64 size = 0;
        QDateTime modified;
        std::optional<QByteArray> sha256;
        std::optional<std::optional<x12::InterchangeId>> id;
    };

    void list() {
        listed_ = true;
        for (const QFileInfo& info : QDir(s_.backupDir).entryInfoList(QDir::Files))
            if (knownSent(info.fileName()))
                backups_.push_back({info.fileName(), info.size(), info.lastModified(), {}, {}});
    }

    // A copy in claims/ means the upload was not confirmed (or a resend kept it); a
    // number above seqfile.fil's was never confirmed either (a run cut off after the
    // backup was made). Such a backup proves no earlier send.
    bool knownSent(const QString& name) const {
        if (QFileInfo::exists(s_.workingDir + name)) return false;
        const qsizetype site = s_.siteId.size();
        if (name.startsWith(s_.siteId, Qt::CaseInsensitive) && name.size() > site + 4 &&
            name[site + 4] == QLatin1Char('.')) {
            bool isNumber = false;
            const int number = name.mid(site, 4).toInt(&isNumber);
            if (isNumber && number > s_.lastNumber) return false;
        }
        return true;
    }

    const QByteArray& hashOf(Backup& b) {
        if (!b.sha256) {
            MappedFile file(s_.backupDir + b.name);
            b.sha256 = file.open() ? sha256(file.bytes()) : QByteArray();
        }
        return *b.sha256;
    }

    const std::optional<x12::InterchangeId>& idOf(Backup& b) {
        if (!b.id) {
            QFile file(s_.backupDir + b.name);
            b.id = file.open(QIODevice::ReadOnly) ? x12::readInterchangeId(file.read(256))
                                                  : std::nullopt;
        }
        return *b.id;
    }

    const GuardSetup& s_;
    bool listed_ = false;
    std::vector<Backup> backups_;
};

}  // namespace

QStringList stillBeingWritten(const QString& folder, const QStringList& names, int maxWaitMs) {
    QElapsedTimer waited;
    waited.start();
    const QDateTime now = QDateTime::currentDateTime();
    std::vector<std::pair<QString, Look>> changing;
    for (const QString& name : names) {
        const std::optional<Look> look = lookAt(folder + name);
        if (look && look->modified.msecsTo(now) <= 2000) changing.push_back({name, *look});
    }
    while (!changing.empty() && waited.elapsed() < maxWaitMs) {
        QThread::msleep(1000);
        std::erase_if(changing, [&](auto& entry) {
            const std::optional<Look> look = lookAt(folder + entry.first);
            if (!look || *look == entry.second) return true;  // finished, or gone
            entry.second = *look;
            return false;
        });
    }
    QStringList out;
    for (const auto& entry : changing) out << entry.first;
    return out;
}

namespace {

using Blocking = std::function<void(const std::function<void()>&)>;

const QString kStays = QStringLiteral("; it stays in the practice folder");

// The questions about one readable claim file: why it is held back (after its name in the
// status line), or none when it goes on.
std::optional<QString> askAbout(const ClaimLook& claim, const QString& name,
                                const GuardSetup& setup, SentBackups& backups, Dialogs& dialogs,
                                const Blocking& blocking) {
    if (!claim.damage.isEmpty() &&
        !dialogs.askOkCancel(QStringLiteral("The claim file ") + name +
                             QStringLiteral(" looks damaged: ") + claim.damage +
                             QStringLiteral(". Send it anyway?")))
        return QStringLiteral(" looks damaged, so it was not sent") + kStays +
               QStringLiteral(". Have your billing program make it again.");
    if (claim.facts && claim.facts->usage == QLatin1String("T") &&
        !dialogs.askOkCancel(name + QStringLiteral(" is marked as a test file: ZOD will not "
                                                   "send its claims to the payers. Send it "
                                                   "anyway?")))
        return QStringLiteral(" is a test file, so it was not sent") + kStays + QStringLiteral(".");
    if (!claim.check.question.isEmpty() && !dialogs.askOkCancel(claim.check.question))
        return claim.check.heldBackWhy;
    std::optional<PriorSend> prior;
    if (setup.findPriorSend)
        prior = setup.findPriorSend(claim.sha256, claim.facts ? claim.facts->sender : QString(),
                                    claim.facts ? claim.facts->interchangeNumber : QString());
    if (!prior) blocking([&] { prior = backups.find(claim); });
    if (prior &&
        !dialogs.askOkCancel(name + QStringLiteral(" is the same claim file as ") + prior->name +
                             QStringLiteral(", sent on ") + dateAndTimeText(prior->sentAt) +
                             QStringLiteral(". Sending it twice can get its claims denied as "
                                            "duplicates. Send it anyway?")))
        return QStringLiteral(" was sent before as ") + prior->name +
               QStringLiteral(", so it was not sent again") + kStays + QStringLiteral(".");
    return std::nullopt;
}

}  // namespace

GuardOutcome guardClaimFiles(const QStringList& found, const GuardSetup& setup, Dialogs& dialogs,
                             const Blocking& blocking) {
    GuardOutcome out;
    QStringList busy;
    blocking([&] { busy = stillBeingWritten(setup.practiceFolder, found); });
    const QString type = setup.fileType.toUpper();
    const bool x12Type = x12::isInterchangeType(type);
    const bool joinedType = type == QLatin1String("AVO") || type == QLatin1String("DEN");
    SentBackups backups(setup);

    for (const QString& file : found) {
        // Shown with control characters made visible: a name may hold a line break.
        const QString name = readableName(QFile::encodeName(file));
        if (busy.contains(file)) {
            out.heldBack.push_back({file, name +
                                              QStringLiteral(" is still being written by the "
                                                             "billing program") +
                                              kStays + QStringLiteral(" for the next send.")});
            continue;
        }
        std::optional<Result<ClaimLook>> look;
        blocking([&] { look.emplace(lookInside(setup, file, name, x12Type, joinedType)); });
        if (!*look) {  // unreadable: copying it fails next and says why
            out.goOn << file;
            continue;
        }
        if (const std::optional<QString> why =
                askAbout(**look, name, setup, backups, dialogs, blocking)) {
            out.heldBack.push_back({file, name + *why});
        } else {
            out.goOn << file;
            out.notes << (*look)->check.notes;
        }
    }
    return out;
}

}  // namespace zv
