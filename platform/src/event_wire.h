/* How named events travel between processes: each named event is an AF_UNIX datagram
 * socket in the abstract namespace (nothing in the file system; the kernel drops the name
 * when its owner closes it or dies). Every SetEvent sends one datagram that carries the
 * sender's CLOCK_MONOTONIC time, so queued wake-ups of several events can be ordered. */
#ifndef TRAX_PLATFORM_EVENT_WIRE_H
#define TRAX_PLATFORM_EVENT_WIRE_H

#include <sys/socket.h>
#include <sys/types.h>
#include <sys/un.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace trax::platform {

/// Longest event name accepted.
inline constexpr size_t kMaxEventName = 200;

/// Socket address of a named event for one user, without the leading NUL byte of the
/// abstract namespace. Names too long for a socket address are replaced by a 128-bit hash
/// under a different prefix, so they can never collide with a short name.
std::string eventAddressName(uid_t user, std::string_view name);

/// The complete abstract socket address for eventAddressName; returns its length.
socklen_t makeEventAddress(uid_t user, std::string_view name, sockaddr_un &address);

/// Size of the control buffer a receiver needs for the sender's credentials.
inline constexpr size_t kWakeupControlSize = CMSG_SPACE(sizeof(ucred));

/// The send time of a received wake-up datagram of `length` bytes, or nothing when the
/// datagram must be dropped: it is malformed or truncated, carries no credentials, or was
/// sent by another user than `owner`.
std::optional<uint64_t> acceptWakeup(const msghdr &message, ssize_t length, uid_t owner);

} // namespace trax::platform

#endif
