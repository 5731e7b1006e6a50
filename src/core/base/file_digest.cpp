#include "base/file_digest.h"

#include <openssl/evp.h>

namespace zv {

Status MappedFile::open() {
    if (!file_.open(QIODevice::ReadOnly)) return fail(file_.errorString());
    const qint64 size = file_.size();
    if (size == 0) return {};
    if (const uchar* p = file_.map(0, size)) {
        view_ = QByteArrayView(reinterpret_cast<const char*>(p), size);
        return {};
    }
    copy_ = file_.readAll();
    if (file_.error() != QFileDevice::NoError) return fail(file_.errorString());
    view_ = copy_;
    return {};
}

QByteArray sha256(QByteArrayView data) {
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_Digest(data.isEmpty() ? "" : data.data(), size_t(data.size()), out, &size, EVP_sha256(),
                   nullptr) != 1)
        return {};
    return QByteArray(reinterpret_cast<const char*>(out), int(size));
}

Result<QString> fileSha256(const QString& path) {
    MappedFile file(path);
    if (Status opened = file.open(); !opened) return Result<QString>::failure(opened.reason());
    return QString::fromLatin1(sha256(file.bytes()).toHex());
}

}  // namespace zv
