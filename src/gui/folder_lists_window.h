#pragma once
// The drive list (Drive1) and folder list (Dir1) that both setup windows use to point
// at a folder. The drive list offers the mounted volumes; the folder list shows the
// path from "/" down to the current folder, then that folder's sub-folders. Activating
// (double-click or Enter) a folder moves the list there.
#include <QComboBox>
#include <QListWidget>
#include <QObject>
#include <QString>

#include "base/ports.h"

namespace zv {

class FolderLists : public QObject {
    Q_OBJECT
public:
    // Starts at the current directory, with its volume chosen in the drive list.
    FolderLists(Dialogs& dialogs, QWidget* parent);

    QComboBox* driveList() const { return drive_; }
    QListWidget* folderList() const { return folders_; }
    // The folder list's current folder: "/" or a path without a trailing "/".
    QString path() const { return path_; }

    // Moves the folder list. A folder that cannot be read is reported and the list
    // stays where it was (false). pathChanged() is emitted only on an actual move.
    bool setPath(const QString& path);
    // Moves the folder list to the top of the volume chosen in the drive list. When it
    // cannot be read the drive list goes back to its previous entry (false).
    bool openChosenDrive();
    // Lists the mounted volumes again: "/" first, each once, by its root path.
    void refreshDrives();

signals:
    void driveChosen();  // the user chose an entry of the drive list
    void pathChanged();  // the folder list's current folder changed

private:
    void fillFolders();
    void selectDriveFor(const QString& path);

    Dialogs& dialogs_;
    QComboBox* drive_;
    QListWidget* folders_;
    QString path_;
    int driveIndex_ = -1;  // the entry whose top the list last moved to or lies under
};

}  // namespace zv
