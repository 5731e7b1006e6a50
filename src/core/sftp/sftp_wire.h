#pragma once
// SFTP version 3 packets as bytes: requests built, replies read. Pure (no I/O), so that
// every reply a server can send, however malformed, is checked here and ends as a clear
// failure, never as a read past the end or an allocation the server chose.
#include <QByteArray>
#include <QByteArrayView>
#include <cstdint>
#include <utility>
#include <vector>

#include "base/result.h"

namespace zv::wire {

enum Type : uint8_t {
    kInit = 1,
    kVersion = 2,
    kOpen = 3,
    kClose = 4,
    kRead = 5,
    kWrite = 6,
    kLstat = 7,
    kFstat = 8,
    kOpendir = 11,
    kReaddir = 12,
    kRemove = 13,
    kStat = 17,
    kRename = 18,
    kStatus = 101,
    kHandle = 102,
    kData = 103,
    kName = 104,
    kAttrs = 105,
    kExtended = 200,
    kExtendedReply = 201,
};

// Status codes of version 3 (and the later ones servers send anyway).
enum Code : uint32_t {
    kOk = 0,
    kEof = 1,
    kNoSuchFile = 2,
    kPermissionDenied = 3,
    kFailure = 4,
    kBadMessage = 5,
    kNoConnection = 6,
    kConnectionLost = 7,
    kOpUnsupported = 8,
};

constexpr uint32_t kOpenRead = 0x01, kOpenWrite = 0x02, kOpenCreate = 0x08, kOpenTruncate = 0x10;
constexpr uint32_t kAttrSize = 0x01, kAttrUidGid = 0x02, kAttrPermissions = 0x04, kAttrTimes = 0x08,
                   kAttrExtended = 0x80000000;

// No reply we ask for is larger: reads and listings are bounded far below it. A larger
// length is a broken or hostile server, refused before anything is allocated.
constexpr uint32_t kMaxPacket = 1024 * 1024;

struct Attrs {
    uint32_t flags = 0;
    uint64_t size = 0;
    uint32_t permissions = 0;
    bool hasSize() const { return flags & kAttrSize; }
    // Without permissions the kind of file is unknown: not taken for a regular file.
    bool isRegular() const {
        return (flags & kAttrPermissions) && (permissions & 0170000) == 0100000;
    }
};

struct NameEntry {
    QByteArray name;
    QByteArray longName;
    Attrs attrs;
};

using Extensions = std::vector<std::pair<QByteArray, QByteArray>>;

// One reply; which fields mean something depends on `type`.
struct Reply {
    uint8_t type = 0;
    uint32_t id = 0;               // none for kVersion
    uint32_t code = 0;             // kStatus
    QByteArray bytes;              // kStatus message, kHandle, kData, kExtendedReply
    Attrs attrs;                   // kAttrs
    std::vector<NameEntry> names;  // kName
    uint32_t version = 0;          // kVersion
    Extensions extensions;         // kVersion
};

struct Limits {
    uint64_t maxPacket = 0, maxRead = 0, maxWrite = 0, maxHandles = 0;
};

// Requests, each a whole packet with its length in front. A write's packet is its header:
// its data follows it on the wire, counted in the length.
QByteArray init(uint32_t version);
QByteArray open(uint32_t id, QByteArrayView path, uint32_t flags, uint32_t permissions);
QByteArray withHandle(Type type, uint32_t id, QByteArrayView handle);  // close fstat readdir
QByteArray withPath(Type type, uint32_t id, QByteArrayView path);      // opendir remove stat lstat
QByteArray read(uint32_t id, QByteArrayView handle, uint64_t offset, uint32_t length);
QByteArray writeHeader(uint32_t id, QByteArrayView handle, uint64_t offset, uint32_t length);
QByteArray rename(uint32_t id, QByteArrayView from, QByteArrayView to);
QByteArray limits(uint32_t id);

// The length of the packet whose first four bytes these are; a failure when it is empty
// or larger than kMaxPacket.
Result<uint32_t> packetLength(QByteArrayView first4);
// One reply packet without its length: every field inside it, every count checked
// against the bytes there are.
Result<Reply> parseReply(QByteArrayView packet);
Result<Limits> parseLimits(QByteArrayView payload);

}  // namespace zv::wire
