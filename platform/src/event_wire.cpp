/* Named-event socket addresses and the check applied to every received wake-up. */
#include "event_wire.h"

#include <cstring>

namespace trax::platform {
namespace {

/* 128-bit FNV-1a: a stable, well-spread digest for names that do not fit an address. */
std::string hashName(std::string_view name) {
    using u128 = unsigned __int128;
    const u128 prime = (static_cast<u128>(0x0000000001000000ull) << 64) | 0x000000000000013Bull;
    u128 hash = (static_cast<u128>(0x6c62272e07bb0142ull) << 64) | 0x62b821756295c58dull;
    for (unsigned char c : name) {
        hash ^= c;
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

/* Room for the name after the leading NUL of an abstract address. */
constexpr size_t kAddressRoom = sizeof(sockaddr_un::sun_path) - 1;

} // namespace

std::string eventAddressName(uid_t user, std::string_view name) {
    std::string address = "trax-evt-" + std::to_string(user) + "-";
    address += name;
    if (address.size() <= kAddressRoom)
        return address;
    return "trax-evh-" + std::to_string(user) + "-" + hashName(name);
}

socklen_t makeEventAddress(uid_t user, std::string_view name, sockaddr_un &address) {
    const std::string text = eventAddressName(user, name);
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path + 1, text.data(), text.size());
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + text.size());
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
