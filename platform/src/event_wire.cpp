// Named-event socket addresses and the check applied to every received wake-up.
#include "event_wire.h"

#include <cstring>

namespace trax::platform {
namespace {

// 128-bit FNV-1a: a stable, well-spread digest for names that do not fit an address.
std::string hashName(std::string_view name) {
    using u128 = unsigned __int128;
    const u128 prime = (static_cast<u128>(0x0000000001000000ull) << 64) | 0x000000000000013Bull;
    u128 hash = (static_cast<u128>(0x6c62272e07bb0142ull) << 64) | 0x62b821756295c58dull;
    for (char c : name) {
        hash ^= static_cast<unsigned char>(c);
        hash *= prime;
    }
    static const char digits[] = "0123456789abcdef";
    std::string text(32, '0');
    for (int i = 31; i >= 0; --i) {
        text[static_cast<size_t>(i)] = digits[static_cast<unsigned>(hash & 0xF)];
        hash >>= 4;
    }
    return text;
}

} // namespace

std::string eventFileName(std::string_view name, size_t room) {
    if (name.find('/') == std::string_view::npos && 4 + name.size() <= room)
        return "evt-" + std::string(name);
    return "evh-" + hashName(name);
}

socklen_t makeEventAddress(std::string_view folder, std::string_view name, sockaddr_un &address) {
    // Room for the folder, a '/', and the file name, before the terminating NUL.
    const size_t capacity = sizeof(sockaddr_un::sun_path) - 1;
    if (folder.size() + 1 + kMaxHashedFileName > capacity)
        return 0;
    std::string path(folder);
    path += '/';
    path += eventFileName(name, capacity - path.size());
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.data(), path.size());
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() + 1);
}

std::optional<uint64_t> acceptWakeup(const msghdr &message, ssize_t length, uid_t owner) {
    uint64_t sent = 0;
    if (length != static_cast<ssize_t>(sizeof sent) ||
        (message.msg_flags & (MSG_TRUNC | MSG_CTRUNC)))
        return std::nullopt;
    if (message.msg_iovlen < 1 || message.msg_iov[0].iov_len < sizeof sent)
        return std::nullopt;
    bool fromOwner = false;
    bool fromOther = false;
    for (const cmsghdr *c = CMSG_FIRSTHDR(&message); c != nullptr;
         c = CMSG_NXTHDR(const_cast<msghdr *>(&message), const_cast<cmsghdr *>(c))) {
        if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_CREDENTIALS &&
            c->cmsg_len == CMSG_LEN(sizeof(ucred))) {
            ucred credentials;
            std::memcpy(&credentials, CMSG_DATA(c), sizeof credentials);
            (credentials.uid == owner ? fromOwner : fromOther) = true;
        }
    }
    if (!fromOwner || fromOther)
        return std::nullopt;
    std::memcpy(&sent, message.msg_iov[0].iov_base, sizeof sent);
    return sent;
}

} // namespace trax::platform
