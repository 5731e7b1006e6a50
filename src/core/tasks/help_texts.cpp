#include "tasks/help_texts.h"

#include <initializer_list>

namespace zv {

namespace {

struct HelpRow {
    bool newTopic;  // false: same topic as the row before
    const char* text;
};

QString joinHelpRows(std::initializer_list<HelpRow> rows) {
    QString out;
    bool first = true;
    for (const HelpRow& row : rows) {
        if (!first) out += row.newTopic ? QStringLiteral("\r\n\r\n") : QStringLiteral("\r\n");
        out += QString::fromLatin1(row.text);
        first = false;
    }
    return out;
}

}  // namespace

QStringList mainHelpLines() {
    // The wording (spelling included) is what practices have seen for years; keep it.
    return {
        QStringLiteral("Site ID."),
        QStringLiteral("The Site ID is assigned to you by ZOD and is entered in Setup."),
        QString(),
        QStringLiteral("Send Claims to ZOD."),
        QStringLiteral("Click this button to send your claim file to our web server. Progress will "
                       "be reported in this list box."),
        QString(),
        QStringLiteral("Get Reports from ZOD."),
        QStringLiteral("Click this button to retreive reports from our web server. Once "
                       "downloaded, the file viewer"),
        QStringLiteral("will appear. Progress will be reported in this list box."),
        QString(),
        QStringLiteral("View Old Reports."),
        QStringLiteral(
            "Click this button to view reports previously downloaded from our web server."),
        QString(),
        QStringLiteral("View SUbmitted Claims."),
        QStringLiteral("Click this button to view claims resently submitted to ZOD."),
        QString(),
        QStringLiteral("Resend Claims to ZEQs."),
        QStringLiteral("Click this button to resend recently submitted to ZOD. NOTE! Please "
                       "contact ZOD before resending a file."),
        QString(),
        QStringLiteral("Delete Claim Files."),
        QStringLiteral("Click this button to delete a recently submitted file to ZOD."),
        QStringLiteral("This only lists files currently on the Web Server and not yet processed."),
        QString(),
        QStringLiteral("Setup."),
        QStringLiteral("Click this button to setup your system or make changes."),
        QString(),
        QStringLiteral("ZOD Web Site."),
        QStringLiteral("Click this button to be transferred to the ZOD Web Site."),
        QStringLiteral(
            "You will find helpful information such as payor lists, enrollment forms, etc."),
        QString(),
        QStringLiteral("Exit."),
        QStringLiteral("Exit from the system."),
    };
}

QString claimSetupHelpText() {
    return joinHelpRows({
        {false, "Select Path to Claim File."},
        {false,
         "Select the Drive and Directory your software will use when creating the claim file "
         "you upload to ZOD."},
        {true, "File Path."},
        {false, "The path you selected above will be displayed here."},
        {true, "Enter File Name."},
        {false,
         "Enter the name of the file your software creates. Wild cards are accepted, i.e., "
         "*.CLM or ECLAIMS.*"},
        {true, "Select File Type."},
        {false,
         "Select the type of file (format) your software creates. This tells our system what "
         "format to process. Call ZOD if you need help with this."},
        {true, "File Type."},
        {false, "The File Type you selected will be displayed here."},
        {true, "Site ID."},
        {false, "Enter the Site ID you were assigned by ZOD."},
        {true, "Password."},
        {false, "Enter the Password you were assigned by ZOD."},
    });
}

QString reportSetupHelpText() {
    return joinHelpRows({
        {false, "Select Path to Report Folder."},
        {false, "Select the Drive and Directory to where you want your reports downloaded."},
        {true, "Directory Path."},
        {false, "The Drive and Directory selected above will be displayed here."},
    });
}

}  // namespace zv
