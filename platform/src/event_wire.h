// The names of named events' files: each named event is a file in a folder private to the
// user (see event_folder.h) whose shared state is laid out in event_slots.h.
#ifndef TRAX_PLATFORM_EVENT_WIRE_H
#define TRAX_PLATFORM_EVENT_WIRE_H

#include <cstddef>
#include <string>
#include <string_view>

namespace trax::platform {

/// Longest event name accepted.
inline constexpr size_t kMaxEventName = 200;

/// Longest file name eventFileName returns: the prefix and a 128-bit hash in hex.
inline constexpr size_t kMaxHashedFileName = 4 + 32;

/// Room for an event's file name in its folder.
inline constexpr size_t kEventFileNameRoom = 255;

/// File name of a named event: "evt-<name>" when that fits `room` characters and the name
/// holds no '/', else "evh-<128-bit hash of the name in hex>", so a
/// name can never leave the folder and a short name can never imitate a hashed one.
std::string eventFileName(std::string_view name, size_t room = kEventFileNameRoom);

} // namespace trax::platform

#endif
