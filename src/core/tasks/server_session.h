#pragma once
// The session with ZOD's server: its opening (connect, sign on, start SFTP), the blocking
// calls every task makes through it, the failures it shows and the progress of long
// transfers. The component and its session live as long as the program: a send and its
// report check share one connection.
#include <QElapsedTimer>
#include <QString>
#include <memory>
#include <optional>
#include <type_traits>

#include "base/module1.h"
#include "base/ports.h"
#include "base/transfer_progress.h"
#include "sftp/sftp_client.h"

namespace zv {

class ServerSession {
public:
    // `sessionOpen` is the main window's flag that tells whether the latest opening
    // succeeded; only open() changes it.
    ServerSession(Module1& m, MainView& view, Dialogs& dialogs, bool& sessionOpen);
    ~ServerSession();

    // Created on first use; start-up creates it when the setup is complete.
    SftpClient& Client();
    // Connects, signs on and starts SFTP; each failure is shown at once.
    void OpenSFTPServer();
    bool isOpen() const { return open_; }

    // Runs one blocking server call through the view; stores nothing by itself.
    template <class F>
    auto blocking(F&& f) -> decltype(f());
    // Stores a call's result code in `LastResult`; true when it is 1 (success).
    bool succeeded(int result);
    // The task's own message, LF, then the component's detail of its last failure.
    void showFailure(const QString& message);
    void closeQuietly(const QString& handle);

private:
    // A transfer's progress, from the thread that runs it; and the end of a blocking call,
    // after which no line of it may stay (a failed transfer never tells its end).
    void progressed(const QString& name, qint64 done, qint64 total);
    void endProgress();
    void apply(TransferProgress::Change change);

    Module1& m_;
    MainView& view_;
    Dialogs& dialogs_;
    bool& open_;
    std::unique_ptr<SftpClient> client_;
    TransferProgress progress_;
    QElapsedTimer progressClock_;
};

template <class F>
auto ServerSession::blocking(F&& f) -> decltype(f()) {
    using R = decltype(f());
    if constexpr (std::is_void_v<R>) {
        view_.runBlocking([&] { f(); });
        endProgress();
    } else {
        std::optional<R> result;
        view_.runBlocking([&] { result.emplace(f()); });
        endProgress();
        return std::move(*result);
    }
}

}  // namespace zv
