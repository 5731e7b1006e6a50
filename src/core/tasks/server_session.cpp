#include "tasks/server_session.h"

namespace zv {

ServerSession::ServerSession(Module1& m, MainView& view, Dialogs& dialogs, bool& sessionOpen)
    : m_(m), view_(view), dialogs_(dialogs), open_(sessionOpen) {}

ServerSession::~ServerSession() = default;

SftpClient& ServerSession::Client() {
    if (!client_) {
        client_ = std::make_unique<SftpClient>();
        client_->ConnectTimeoutMs(5000);
        client_->IdleTimeoutMs(10000);
        client_->KnownHostsFile(m_.Paths.WorkRoot + QStringLiteral("known_hosts"));
        client_->OnProgress([this](const QString& name, qint64 done, qint64 total) {
            progressed(name, done, total);
        });
    }
    return *client_;
}

void ServerSession::progressed(const QString& name, qint64 done, qint64 total) {
    if (!progressClock_.isValid()) progressClock_.start();
    apply(progress_.update(name, done, total, progressClock_.elapsed()));
}

void ServerSession::endProgress() { apply(progress_.finish()); }

void ServerSession::apply(TransferProgress::Change change) {
    if (change == TransferProgress::Change::Show)
        view_.showProgress(progress_.text(), progress_.percent());
    else if (change == TransferProgress::Change::Hide)
        view_.hideProgress();
}

bool ServerSession::succeeded(int result) {
    m_.LastResult = result;
    return result == 1;
}

void ServerSession::showFailure(const QString& message) {
    dialogs_.message(message + m_.LF + Client().ErrorDetail());
}

void ServerSession::closeQuietly(const QString& handle) {
    if (handle.isEmpty()) return;
    SftpClient& c = Client();
    (void)blocking([&] { return c.CloseRemoteHandle(handle); });
}

void ServerSession::OpenSFTPServer() {
    open_ = false;
    // A live session to this server is kept by the component: a send and its report
    // check share one connection.
    SftpClient& c = Client();
    const QString host = m_.SftpHost;
    const int port = m_.SftpPort;
    if (!succeeded(blocking([&] { return c.ConnectServer(host, port); }))) {
        showFailure(QStringLiteral("SFTP Open Failure. Wait 5 minutes and try once more."));
        return;
    }
    view_.statusAdd(QStringLiteral("Connecting to ZOD SFTPServer/") + m_.Setup.SiteID.toUpper() +
                    QStringLiteral(" Server"));
    // A first contact recorded the server's key: the user can compare its fingerprint with
    // the one ZOD gives.
    if (const QString fingerprint = c.FirstContactFingerprint(); !fingerprint.isEmpty())
        view_.statusAdd(QStringLiteral("First connection to this server: its key ") + fingerprint +
                        QStringLiteral(" is now recorded. ZOD can confirm this fingerprint."));
    const QString user = m_.Setup.SiteID;
    const QString password = m_.Setup.PassWord;
    if (!succeeded(blocking([&] { return c.LoginWithPassword(user, password); }))) {
        showFailure(QStringLiteral("SFTP Authentications Error. Call ZOD."));
        return;
    }
    if (!succeeded(blocking([&] { return c.StartSftp(); }))) {
        showFailure(QStringLiteral("SFTP Initialization Failure.Call ZOD."));
        return;
    }
    open_ = true;
}

}  // namespace zv
