#pragma once
// The one shape of a local operation's outcome: done (with a value, when it has one),
// or failed with the reason in plain words, ready for a message box. [[nodiscard]] so
// that an ignored failure is a compiler warning.
#include <QString>
#include <optional>
#include <utility>

namespace zv {

template <class T = void>
class [[nodiscard]] Result {
public:
    Result(T value) : value_(std::move(value)) {}
    static Result failure(QString reason) {
        Result r;
        r.reason_ = std::move(reason);
        return r;
    }
    bool ok() const { return value_.has_value(); }
    explicit operator bool() const { return ok(); }
    const T& value() const { return *value_; }
    T& value() { return *value_; }
    const T& operator*() const { return *value_; }
    const T* operator->() const { return &*value_; }
    // Empty when the operation succeeded.
    const QString& reason() const { return reason_; }

private:
    Result() = default;
    std::optional<T> value_;
    QString reason_;
};

template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    static Result failure(QString reason) {
        Result r;
        r.failed_ = true;
        r.reason_ = std::move(reason);
        return r;
    }
    bool ok() const { return !failed_; }
    explicit operator bool() const { return ok(); }
    const QString& reason() const { return reason_; }

private:
    bool failed_ = false;
    QString reason_;
};

using Status = Result<void>;

// Shorthand for the common case: Status s = fail(QStringLiteral("..."));
inline Status fail(QString reason) { return Status::failure(std::move(reason)); }

}  // namespace zv
