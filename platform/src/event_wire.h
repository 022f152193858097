// How named events travel between processes: each named event is an AF_UNIX datagram
// socket file in a folder private to the user (see event_folder.h). Every SetEvent sends one
// datagram that carries the sender's CLOCK_MONOTONIC time, so queued wake-ups of several
// events can be ordered.
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

/// Longest file name eventFileName returns: the prefix and a 128-bit hash in hex.
inline constexpr size_t kMaxHashedFileName = 4 + 32;

/// File name of the socket of a named event: "evt-<name>" when that fits `room` characters
/// and the name holds no '/', else "evh-<128-bit hash of the name in hex>", so a name can
/// never leave the folder and a short name can never imitate a hashed one.
std::string eventFileName(std::string_view name, size_t room);

/// The socket address of the event in `folder` (which ends without '/'); returns its
/// length, or 0 when the folder leaves no room for even a hashed file name.
socklen_t makeEventAddress(std::string_view folder, std::string_view name, sockaddr_un &address);

/// Size of the control buffer a receiver needs for the sender's credentials.
inline constexpr size_t kWakeupControlSize = CMSG_SPACE(sizeof(ucred));

/// The send time of a received wake-up datagram of `length` bytes, or nothing when the
/// datagram must be dropped: it is malformed or truncated, carries no credentials, or was
/// sent by another user than `owner`.
std::optional<uint64_t> acceptWakeup(const msghdr &message, ssize_t length, uid_t owner);

} // namespace trax::platform

#endif
