#pragma once
// The points of a send at which a cut (a power failure, a killed program) leaves the
// most to put right. The program passes them by; a watcher told of each can stop
// there, which is how the recovery after such a cut is checked.
namespace zv {

enum class SendStep {
    AfterBackup,
    AfterWorkingCopy,
    AfterDelete,
    AfterUpload,
    AfterNumber,
    JoinBeforeReplace,
    JoinAfterReplace,
    UploadStarted,  // recorded as uploading, nothing sent yet
};

class SendObserver {
public:
    virtual ~SendObserver() = default;
    virtual void stepReached(SendStep) {}
};

}  // namespace zv
