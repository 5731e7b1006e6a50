// The 999: per functional group (AK1 to AK9) and per transaction set in it (AK2 to IK5),
// accepted or rejected, with what IK3 and IK4 say is wrong.
#include "answers/answer_read.h"
#include "answers/answer_words.h"

namespace zv::answers::detail {

namespace {

// At most this many errors are kept in words per set; the rest are counted.
constexpr qsizetype kErrorsShown = 5;

class Ack999Reader : public TransactionReader {
public:
    Ack999Reader(ParsedReport& r, Budget& b) : r_(r), budget_(b) {}

    Status visit(const Segment& s) override {
        if (s.is("AK1")) return group(s);
        if (s.is("AK2")) return set(s);
        if (s.is("IK3") || s.is("IK4")) {
            if (!inSet_) return outside("an error (IK3, IK4)", "transaction set (AK2)");
            note(s.is("IK3") ? segmentError(s) : elementError(s));
        }
        if (s.is("IK5")) return setAnswer(s);
        if (s.is("AK9")) return groupAnswer(s);
        return {};
    }

private:
    Status group(const Segment& s) {
        if (Status taken = budget_.take(); !taken) return taken;
        r_.groups.push_back({label(s.element(2)), {}, {}, {}});
        inGroup_ = true;
        inSet_ = false;
        return {};
    }

    Status set(const Segment& s) {
        if (!inGroup_) return outside("a transaction set (AK2)", "group (AK1)");
        if (Status taken = budget_.take(); !taken) return taken;
        r_.groups.back().sets.push_back({label(s.element(2)), {}, {}});
        errors_.clear();
        moreErrors_ = 0;
        inSet_ = true;
        return {};
    }

    Status setAnswer(const Segment& s) {
        if (!inSet_) return outside("a set's answer (IK5)", "transaction set (AK2)");
        SetAck& set = r_.groups.back().sets.back();
        set.code = label(s.element(1));
        for (int i = 2; i <= 6; ++i)
            if (const QString code = label(s.element(i)); !code.isEmpty())
                note(setErrorWords(code));
        set.errors = errors_.join(QStringLiteral("; "));
        if (moreErrors_ > 0) set.errors += QStringLiteral(" and %1 more").arg(moreErrors_);
        inSet_ = false;
        return {};
    }

    Status groupAnswer(const Segment& s) {
        if (!inGroup_) return outside("a group's answer (AK9)", "group (AK1)");
        GroupAck& group = r_.groups.back();
        group.code = label(s.element(1));
        QStringList errors;
        for (int i = 5; i <= 9; ++i)
            if (const QString code = label(s.element(i)); !code.isEmpty())
                errors << groupErrorWords(code);
        group.errors = errors.join(QStringLiteral("; "));
        inGroup_ = inSet_ = false;
        return {};
    }

    // Only the first few are kept: a hostile report may list millions.
    void note(const QString& error) {
        if (errors_.size() < kErrorsShown)
            errors_ << error;
        else
            ++moreErrors_;
    }

    static Status outside(const char* what, const char* where) {
        return fail(QStringLiteral("the 999 has ") + QLatin1String(what) +
                    QStringLiteral(" outside a ") + QLatin1String(where));
    }

    // "CLM segment 23: segment has data element errors"
    static QString segmentError(const Segment& s) {
        return label(s.element(1)) + QStringLiteral(" segment ") + label(s.element(2)) +
               QStringLiteral(": ") + segmentErrorWords(label(s.element(4)));
    }

    // "element 2: invalid character (12X)"
    static QString elementError(const Segment& s) {
        QString position = label(s.component(1, 1));
        if (const QString component = label(s.component(1, 2)); !component.isEmpty())
            position += QLatin1Char('-') + component;
        QString text = QStringLiteral("element ") + position + QStringLiteral(": ") +
                       elementErrorWords(label(s.element(3)));
        if (const QString bad = label(s.element(4)); !bad.isEmpty())
            text += QStringLiteral(" (") + bad + QLatin1Char(')');
        return text;
    }

    ParsedReport& r_;
    Budget& budget_;
    QStringList errors_;
    qsizetype moreErrors_ = 0;
    bool inGroup_ = false;
    bool inSet_ = false;
};

}  // namespace

std::unique_ptr<TransactionReader> ack999Reader(ParsedReport& report, Budget& budget) {
    return std::make_unique<Ack999Reader>(report, budget);
}

}  // namespace zv::answers::detail
