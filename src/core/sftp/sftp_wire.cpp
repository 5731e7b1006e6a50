#include "sftp/sftp_wire.h"

#include <QtEndian>

namespace zv::wire {

namespace {

class Writer {
public:
    explicit Writer(uint8_t type) { out_.append(4, '\0').append(char(type)); }
    Writer& u32(uint32_t v) {
        char b[4];
        qToBigEndian(v, b);
        out_.append(b, 4);
        return *this;
    }
    Writer& u64(uint64_t v) {
        char b[8];
        qToBigEndian(v, b);
        out_.append(b, 8);
        return *this;
    }
    Writer& str(QByteArrayView s) {
        u32(static_cast<uint32_t>(s.size()));
        out_.append(s.data(), s.size());
        return *this;
    }
    // `trailing` bytes follow the packet on the wire (a write's data).
    QByteArray done(uint32_t trailing = 0) {
        qToBigEndian(static_cast<uint32_t>(out_.size() - 4 + trailing), out_.data());
        return std::move(out_);
    }

private:
    QByteArray out_;
};

class Reader {
public:
    explicit Reader(QByteArrayView in) : in_(in) {}
    bool u8(uint8_t& v) {
        if (left() < 1) return false;
        v = static_cast<uint8_t>(in_[pos_++]);
        return true;
    }
    bool u32(uint32_t& v) {
        if (left() < 4) return false;
        v = qFromBigEndian<uint32_t>(in_.data() + pos_);
        pos_ += 4;
        return true;
    }
    bool u64(uint64_t& v) {
        if (left() < 8) return false;
        v = qFromBigEndian<uint64_t>(in_.data() + pos_);
        pos_ += 8;
        return true;
    }
    bool str(QByteArray& v) {
        uint32_t n = 0;
        if (!u32(n) || n > left()) return false;
        v = in_.sliced(pos_, n).toByteArray();
        pos_ += n;
        return true;
    }
    bool skipStr() {
        uint32_t n = 0;
        if (!u32(n) || n > left()) return false;
        pos_ += n;
        return true;
    }
    qsizetype left() const { return in_.size() - pos_; }

private:
    QByteArrayView in_;
    qsizetype pos_ = 0;
};

bool readAttrs(Reader& r, Attrs& a) {
    if (!r.u32(a.flags)) return false;
    uint32_t ignored = 0;
    if ((a.flags & kAttrSize) && !r.u64(a.size)) return false;
    if ((a.flags & kAttrUidGid) && !(r.u32(ignored) && r.u32(ignored))) return false;
    if ((a.flags & kAttrPermissions) && !r.u32(a.permissions)) return false;
    if ((a.flags & kAttrTimes) && !(r.u32(ignored) && r.u32(ignored))) return false;
    if (a.flags & kAttrExtended) {
        uint32_t count = 0;
        if (!r.u32(count)) return false;
        // Each pair takes at least 8 bytes: a count beyond what is there is a lie.
        if (count > r.left() / 8) return false;
        for (uint32_t i = 0; i < count; ++i)
            if (!r.skipStr() || !r.skipStr()) return false;
    }
    return true;
}

// The rest of a version reply; what is malformed in it, or null.
const char* readVersion(Reader& r, Reply& out) {
    if (!r.u32(out.version)) return "version";
    while (r.left() > 0) {
        QByteArray name, data;
        if (!r.str(name) || !r.str(data)) return "version extension";
        out.extensions.emplace_back(std::move(name), std::move(data));
    }
    return nullptr;
}

// The rest of a name reply; what is malformed in it, or null.
const char* readNames(Reader& r, Reply& out) {
    uint32_t count = 0;
    if (!r.u32(count)) return "name count";
    // An entry takes at least 12 bytes: a count beyond what is there is a lie.
    if (count > r.left() / 12) return "name count";
    out.names.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        NameEntry e;
        if (!r.str(e.name) || !r.str(e.longName) || !readAttrs(r, e.attrs)) return "name entry";
        out.names.push_back(std::move(e));
    }
    return nullptr;
}

Result<Reply> malformed(const char* what) {
    return Result<Reply>::failure(
        QStringLiteral("The server sent a malformed answer (%1)").arg(QLatin1String(what)));
}

}  // namespace

QByteArray init(uint32_t version) { return Writer(kInit).u32(version).done(); }

QByteArray open(uint32_t id, QByteArrayView path, uint32_t flags, uint32_t permissions) {
    Writer w(kOpen);
    w.u32(id).str(path).u32(flags);
    if (flags & kOpenCreate)
        w.u32(kAttrPermissions).u32(permissions);
    else
        w.u32(0);
    return w.done();
}

QByteArray withHandle(Type type, uint32_t id, QByteArrayView handle) {
    return Writer(type).u32(id).str(handle).done();
}

QByteArray withPath(Type type, uint32_t id, QByteArrayView path) {
    return Writer(type).u32(id).str(path).done();
}

QByteArray read(uint32_t id, QByteArrayView handle, uint64_t offset, uint32_t length) {
    return Writer(kRead).u32(id).str(handle).u64(offset).u32(length).done();
}

QByteArray writeHeader(uint32_t id, QByteArrayView handle, uint64_t offset, uint32_t length) {
    return Writer(kWrite).u32(id).str(handle).u64(offset).u32(length).done(length);
}

QByteArray rename(uint32_t id, QByteArrayView from, QByteArrayView to) {
    return Writer(kRename).u32(id).str(from).str(to).done();
}

QByteArray limits(uint32_t id) {
    return Writer(kExtended).u32(id).str("limits@openssh.com").done();
}

Result<uint32_t> packetLength(QByteArrayView first4) {
    if (first4.size() < 4) return Result<uint32_t>::failure(QStringLiteral("Short packet"));
    const uint32_t n = qFromBigEndian<uint32_t>(first4.data());
    if (n == 0 || n > kMaxPacket)
        return Result<uint32_t>::failure(
            QStringLiteral("The server sent an answer of %1 bytes, more than the %2 allowed")
                .arg(n)
                .arg(kMaxPacket));
    return n;
}

Result<Reply> parseReply(QByteArrayView packet) {
    Reader r(packet);
    Reply out;
    if (!r.u8(out.type)) return malformed("empty");
    if (out.type == kVersion) {
        if (const char* bad = readVersion(r, out)) return malformed(bad);
        return out;
    }
    if (!r.u32(out.id)) return malformed("request id");
    switch (out.type) {
        case kStatus:
            if (!r.u32(out.code)) return malformed("status code");
            // Version 3 servers may leave out the message and its language.
            if (r.left() > 0 && !r.str(out.bytes)) return malformed("status message");
            return out;
        case kHandle:
            if (!r.str(out.bytes) || out.bytes.isEmpty() || out.bytes.size() > 256)
                return malformed("handle");
            break;
        case kData:
            if (!r.str(out.bytes)) return malformed("data");
            break;
        case kExtendedReply:
            out.bytes = packet.sliced(packet.size() - r.left()).toByteArray();
            return out;
        case kAttrs:
            if (!readAttrs(r, out.attrs)) return malformed("attributes");
            break;
        case kName:
            if (const char* bad = readNames(r, out)) return malformed(bad);
            break;
        default:
            return malformed("unknown reply type");
    }
    // OpenSSH adds nothing after these; a data reply may carry an end-of-file flag.
    if (r.left() > (out.type == kData ? 1 : 0)) return malformed("bytes after the reply");
    return out;
}

Result<Limits> parseLimits(QByteArrayView payload) {
    Reader r(payload);
    Limits l;
    if (!r.u64(l.maxPacket) || !r.u64(l.maxRead) || !r.u64(l.maxWrite) || !r.u64(l.maxHandles))
        return Result<Limits>::failure(QStringLiteral("The server sent malformed limits"));
    return l;
}

}  // namespace zv::wire
