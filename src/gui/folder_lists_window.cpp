#include "gui/folder_lists_window.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalBlocker>
#include <QStorageInfo>
#include <algorithm>

namespace zv {

namespace {

constexpr int kPathRole = Qt::UserRole;

// Empty when the folder can be listed, else why not, in plain words.
QString whyUnreadable(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists()) return QStringLiteral("it does not exist or is not connected");
    if (!info.isDir()) return QStringLiteral("it is not a folder");
    if (!info.isReadable() || !info.isExecutable())
        return QStringLiteral("you do not have permission to open it");
    return {};
}

QString normalised(const QString& path) {
    QString clean = QDir::cleanPath(QDir(path).absolutePath());
    return clean.isEmpty() ? QStringLiteral("/") : clean;
}

}  // namespace

FolderLists::FolderLists(Dialogs& dialogs, QWidget* parent)
    : QObject(parent),
      dialogs_(dialogs),
      drive_(new QComboBox(parent)),
      folders_(new QListWidget(parent)) {
    drive_->setObjectName(QStringLiteral("Drive1"));
    folders_->setObjectName(QStringLiteral("Dir1"));
    folders_->setSelectionMode(QAbstractItemView::SingleSelection);

    refreshDrives();
    path_ = normalised(QDir::currentPath());
    selectDriveFor(path_);
    fillFolders();

    // Only the user's choice moves the folder list, also when the same drive is chosen again.
    connect(drive_, &QComboBox::activated, this, [this] { emit driveChosen(); });
    // Queued: the list is rebuilt by the move, which must not happen inside the view's
    // own activation handling.
    connect(folders_, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        const QString target = item->data(kPathRole).toString();
        QMetaObject::invokeMethod(
            this, [this, target] { setPath(target); }, Qt::QueuedConnection);
    });
}

void FolderLists::refreshDrives() {
    QStringList roots{QStringLiteral("/")};
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || !volume.isReady()) continue;
        const QString root = volume.rootPath();
        if (!root.isEmpty() && !roots.contains(root)) roots << root;
    }
    std::sort(roots.begin() + 1, roots.end());
    const QSignalBlocker block(drive_);
    drive_->clear();
    drive_->addItems(roots);
    selectDriveFor(path_.isEmpty() ? QStringLiteral("/") : path_);
}

void FolderLists::selectDriveFor(const QString& path) {
    // The volume holding the folder is the entry with the longest root above it.
    int best = -1;
    qsizetype bestLength = -1;
    for (int i = 0; i < drive_->count(); ++i) {
        const QString root = drive_->itemText(i);
        const bool holds = root == QLatin1String("/") || path == root ||
                           path.startsWith(root.endsWith(u'/') ? root : root + u'/');
        if (holds && root.size() > bestLength) {
            best = i;
            bestLength = root.size();
        }
    }
    const QSignalBlocker block(drive_);
    drive_->setCurrentIndex(best);
    driveIndex_ = best;
}

bool FolderLists::setPath(const QString& path) {
    const QString target = normalised(path);
    const QString why = whyUnreadable(target);
    if (!why.isEmpty()) {
        dialogs_.message(QStringLiteral("The folder %1 cannot be opened: %2.\n"
                                        "Choose another folder.")
                             .arg(target, why));
        return false;
    }
    if (target == path_) return true;
    path_ = target;
    selectDriveFor(path_);
    fillFolders();
    emit pathChanged();
    return true;
}

bool FolderLists::openChosenDrive() {
    const QString root = drive_->currentText();
    const QString why = whyUnreadable(root);
    if (!why.isEmpty()) {
        dialogs_.message(QStringLiteral("The drive %1 cannot be opened: %2.\n"
                                        "Check that it is connected, or choose another drive.")
                             .arg(root, why));
        const QSignalBlocker block(drive_);
        drive_->setCurrentIndex(driveIndex_);
        return false;
    }
    driveIndex_ = drive_->currentIndex();
    return setPath(root);
}

void FolderLists::fillFolders() {
    folders_->clear();
    const QString indentUnit = QStringLiteral("  ");

    // The way down from "/" to the current folder, then its sub-folders one step in.
    QStringList parts = path_.split(u'/', Qt::SkipEmptyParts);
    QString walked = QStringLiteral("/");
    auto addFolder = [&](const QString& label, const QString& full, int depth) {
        auto* item = new QListWidgetItem(indentUnit.repeated(depth) + label, folders_);
        item->setData(kPathRole, full);
        item->setToolTip(full);
        return item;
    };
    QListWidgetItem* current = addFolder(QStringLiteral("/"), walked, 0);
    int depth = 0;
    for (const QString& part : parts) {
        walked = walked == QLatin1String("/") ? walked + part : walked + u'/' + part;
        current = addFolder(part, walked, ++depth);
    }
    const QDir dir(path_);
    const QStringList children =
        dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QString& child : children) addFolder(child, dir.filePath(child), depth + 1);
    folders_->setCurrentItem(current);
}

}  // namespace zv
