#pragma once
// Owning wrappers for libssh's C handles, so no handle outlives its scope or leaks on an
// early return.
#include <libssh/libssh.h>
#include <libssh/sftp.h>

#include <memory>

namespace zv::ssh {

struct SessionFree {
    void operator()(ssh_session s) const {
        if (ssh_is_connected(s)) ssh_disconnect(s);
        ssh_free(s);
    }
};
struct SftpFree {
    void operator()(sftp_session s) const { sftp_free(s); }
};
// Closing here ignores the server's answer; callers that must know it release() and
// call sftp_close themselves.
struct FileFree {
    void operator()(sftp_file f) const { sftp_close(f); }
};
struct DirFree {
    void operator()(sftp_dir d) const { sftp_closedir(d); }
};
struct AttributesFree {
    void operator()(sftp_attributes a) const { sftp_attributes_free(a); }
};
struct KeyFree {
    void operator()(ssh_key k) const { ssh_key_free(k); }
};
struct StringFree {
    void operator()(ssh_string s) const { ssh_string_free(s); }
};
struct CharFree {
    void operator()(char* s) const { ssh_string_free_char(s); }
};
struct HashFree {
    void operator()(unsigned char* h) const { ssh_clean_pubkey_hash(&h); }
};

using Session = std::unique_ptr<ssh_session_struct, SessionFree>;
using Sftp = std::unique_ptr<sftp_session_struct, SftpFree>;
using File = std::unique_ptr<sftp_file_struct, FileFree>;
using Dir = std::unique_ptr<sftp_dir_struct, DirFree>;
using Attributes = std::unique_ptr<sftp_attributes_struct, AttributesFree>;
using Key = std::unique_ptr<ssh_key_struct, KeyFree>;
using String = std::unique_ptr<ssh_string_struct, StringFree>;
using Chars = std::unique_ptr<char, CharFree>;
using Hash = std::unique_ptr<unsigned char, HashFree>;

}  // namespace zv::ssh
