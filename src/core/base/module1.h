#pragma once
// Program-wide values that every part of the program reads. One instance lives for
// the whole run; it is owned by main() and handed to the windows by reference.
#include <QString>

namespace zv {

inline const QString ReadyLine = QStringLiteral("VERAzerev File Transfer Ready");

struct WorkstationPaths {
    QString WorkDrive;
    QString WorkRoot;  // always ends with "/"
    QString ClaimsDir;
    QString ClaimsBackupDir;
    QString SetupFile;
    QString SequenceFile;
    QString LogFile;
    // Outside programs; each ends with one blank so that callers append the argument.
    QString ExplorerCommand;
    QString BrowserCommand;
    QString NotepadCommand;
};

struct SetupParameters {
    QString UserPath;  // ends with "/" once set
    QString UserFile;
    QString FileType;
    QString SoftType;
    QString SiteID;
    QString PassWord;
    QString RptPath;  // ends with "/" once set
};

struct PickerModeFlags {
    bool ResendMode = false;
    bool DeleteMode = false;
    bool ViewMode = false;
};

struct Module1 {
    WorkstationPaths Paths;
    QString OSVersion;
    QString SysID;
    SetupParameters Setup;
    QString SftpHost;
    int SftpPort = 0;
    int LastResult = 0;
    QString Activity;
    QString LF;

    // Claim hand-over between the picker and the tasks.
    QString ClaimName;
    PickerModeFlags PickerMode;
    bool PickerCallback = false;
    QString DeleteClaimName;
    QString ViewClaimName;
};

}  // namespace zv
