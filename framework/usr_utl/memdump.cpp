// Hex dump of memory to standard output.
//
// Layout: the title line, then one line per 16 bytes: the offset, the units as numbers
// (least significant byte first within a unit, as the machine reads them) and the bytes
// as characters, '.' for those that do not print:
//
//   0000: 5346 0d10 0103 0134  ...  |FS......|
//
// Bytes left over at the end that do not fill a unit are shown one by one.
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

// Appends value as exactly `digits` lower-case hexadecimal digits. Done by hand: a dump line
// has up to 17 numbers, and printf-style formatting of each one dominated a dump's cost.
void append_digits(std::string &line, uint32_t value, uint32_t digits) {
    for (uint32_t shift = digits * 4; shift > 0; shift -= 4) {
        line += "0123456789abcdef"[(value >> (shift - 4)) & 0xf];
    }
}

// The number of hexadecimal digits of value, at least minimum.
uint32_t significant_digits(uint32_t value, uint32_t minimum) {
    uint32_t digits = 1;
    while (digits < 8 && (value >> (digits * 4)) != 0) {
        ++digits;
    }
    return digits > minimum ? digits : minimum;
}

void append_hex(std::string &line, uint32_t value, uint32_t width) {
    line += ' ';
    append_digits(line, value, width * 2);
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
    std::string line = " ";
    append_digits(line, offset, significant_digits(offset, 4));
    line += ':';
    put_line(line + hex_column(bytes, count, width) + char_column(bytes, count));
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
