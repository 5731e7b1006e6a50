#pragma once
// Owning wrappers for libssh's C handles, so no handle outlives its scope or leaks on an
// early return.
#include <libssh/libssh.h>

#include <memory>

namespace zv::ssh {

struct SessionFree {
    void operator()(ssh_session s) const {
        if (ssh_is_connected(s)) ssh_disconnect(s);
        ssh_free(s);
    }
};
// Closing tells the server the channel is done; a channel already closed is only freed.
struct ChannelFree {
    void operator()(ssh_channel c) const {
        if (ssh_channel_is_open(c)) ssh_channel_close(c);
        ssh_channel_free(c);
    }
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
using Channel = std::unique_ptr<ssh_channel_struct, ChannelFree>;
using Key = std::unique_ptr<ssh_key_struct, KeyFree>;
using String = std::unique_ptr<ssh_string_struct, StringFree>;
using Chars = std::unique_ptr<char, CharFree>;
using Hash = std::unique_ptr<unsigned char, HashFree>;

}  // namespace zv::ssh
