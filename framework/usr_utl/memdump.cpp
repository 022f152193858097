/* Hex dump of memory to standard output.
 *
 * Layout: the title line, then one line per 16 bytes: the offset, the units as numbers
 * (least significant byte first within a unit, as the machine reads them) and the bytes
 * as characters, '.' for those that do not print:
 *
 *   0000: 5346 0d10 0103 0134  ...  |FS......|
 *
 * Bytes left over at the end that do not fill a unit are shown one by one. */
#include <cstdio>
#include <cstring>
#include <string>

#include "trax_entry_guard.h"
#include "usr_utl.h"

namespace {

constexpr uint32_t kBytesPerLine = 16;

void put_line(const std::string &line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
}

uint32_t unit_value(const unsigned char *bytes, uint32_t width) {
    uint32_t value = 0;
    for (uint32_t i = width; i-- > 0;) {
        value = (value << 8) | bytes[i];
    }
    return value;
}

void append_hex(std::string &line, uint32_t value, uint32_t width) {
    char text[16];
    std::snprintf(text, sizeof text, " %0*x", static_cast<int>(width * 2),
                  static_cast<unsigned>(value));
    line += text;
}

// Hex column of one line: whole units, then single bytes, padded to the width of a full
// line so that the character column stays aligned.
std::string hex_column(const unsigned char *bytes, uint32_t count, uint32_t width) {
    std::string column;
    uint32_t at = 0;
    for (; at + width <= count; at += width) {
        append_hex(column, unit_value(bytes + at, width), width);
    }
    for (; at < count; ++at) {
        append_hex(column, bytes[at], 1);
    }
    const std::size_t fullWidth = (kBytesPerLine / width) * (width * 2 + 1);
    if (column.size() < fullWidth) {
        column.append(fullWidth - column.size(), ' ');
    }
    return column;
}

std::string char_column(const unsigned char *bytes, uint32_t count) {
    std::string column = "  |";
    for (uint32_t i = 0; i < count; ++i) {
        const unsigned char c = bytes[i];
        column += c >= 0x20 && c < 0x7f ? static_cast<char>(c) : '.';
    }
    return column + "|\n";
}

void dump_line(const unsigned char *bytes, uint32_t offset, uint32_t count, uint32_t width) {
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, " %04x:", static_cast<unsigned>(offset));
    put_line(prefix + hex_column(bytes, count, width) + char_column(bytes, count));
}

void dump(const char *title, const char *buf, uint32_t size, uint32_t fmt) {
    put_line(std::string(title != nullptr ? title : "") + "\n");
    if (size == 0) {
        put_line(" (empty)\n");
        return;
    }
    if (buf == nullptr) {
        put_line(" *** no data: null address\n");
        return;
    }
    const uint32_t width = fmt == 2 || fmt == 4 ? fmt : 1;
    const auto *bytes = reinterpret_cast<const unsigned char *>(buf);
    for (uint32_t offset = 0; offset < size; offset += kBytesPerLine) {
        const uint32_t count = size - offset < kBytesPerLine ? size - offset : kBytesPerLine;
        dump_line(bytes + offset, offset, count, width);
    }
}

// A line that needs no memory of its own ends a dump that ran out of memory.
void report_no_memory(trax::EntryFault) {
    std::fputs(" *** dump ended: out of memory\n", stdout);
}

} // namespace

extern "C" {

// The lines are built in memory; the entry guard ends the dump with a line saying so when
// memory runs out, instead of letting the exception reach the C caller.
TRAX_EXPORT void TRAX_CALL UTL_Memdump(const char *title, const char *buf, uint32_t size,
                                       uint32_t fmt) {
    trax::guardEntry([&] { dump(title, buf, size, fmt); }, report_no_memory);
}

} // extern "C"
