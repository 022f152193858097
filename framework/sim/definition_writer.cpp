// Writing a device description back out as a definition file, and the definition's hash. The
// text is laid out as a YAML emitter lays out this shape (block mappings and sequences,
// one-line flow mappings for the small groups, literal blocks for texts of whole lines), by
// hand: writing needs no YAML library, so the hash of a device never loads the YAML reader.
#include <charconv>
#include <string_view>

#include "definition_keys.h"
#include "sim_definition.h"
#include "sim_hash.h"
#include "trax_error_text.h"

namespace sim {

namespace {

using keys::NumberKey;

std::string hex(uint64_t value) {
    char text[20];
    const auto result = std::to_chars(text, text + sizeof text, value, 16);
    return "0x" + std::string(text, result.ptr);
}

template <class S> std::string number_text(const NumberKey<S> &entry, const S &source) {
    const int64_t value = entry.get(source);
    if (const char *name = keys::name_of(entry.symbols, value)) {
        return name;
    }
    return entry.hex && value >= 0 ? hex(static_cast<uint64_t>(value)) : std::to_string(value);
}

// Whether text reads back as itself when written plain as a block value: not empty, not a
// null word, no indicator at its start, no trailing blank, and no ": " or " #" inside.
bool is_plain(std::string_view text) {
    if (text.empty() || text == "~" || text == "null" || text == "Null" || text == "NULL") {
        return false;
    }
    const auto blank_or_end = [&](std::size_t at) {
        return at >= text.size() || text[at] == ' ' || text[at] == '\t' || text[at] == '\n' ||
               text[at] == '\r';
    };
    if (std::string_view(" \t\n\r,[]{}#&*!|>'\"%@`").find(text[0]) != std::string_view::npos ||
        (std::string_view("-?:").find(text[0]) != std::string_view::npos && blank_or_end(1)) ||
        text.back() == ' ') {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if ((c == ':' && blank_or_end(i + 1)) || (c == '#' && i > 0 && blank_or_end(i - 1)) ||
            c < 0x20 || c == 0x7f) {
            return false;
        }
    }
    return true;
}

// text in double quotes, with escapes for the quote, the backslash and control characters.
std::string quoted(std::string_view text) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out = "\"";
    for (const char c : text) {
        const auto code = static_cast<unsigned char>(c);
        const std::string_view escaped = c == '"'    ? "\\\""
                                         : c == '\\' ? "\\\\"
                                         : c == '\n' ? "\\n"
                                         : c == '\t' ? "\\t"
                                         : c == '\r' ? "\\r"
                                         : c == '\b' ? "\\b"
                                                     : "";
        if (!escaped.empty()) {
            out += escaped;
        } else if (code < 0x20) {
            out += {'\\', 'x', kDigits[code >> 4], kDigits[code & 0xf]};
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// Whether a literal block gives text back as it is: whole lines, the last one not empty
// (the block keeps one final line break only), and the first line with text not indented
// (the block takes its indentation from that line).
bool reads_back_as_literal(const std::string &text) {
    const std::size_t firstText = text.find_first_not_of('\n');
    return text.size() >= 2 && text.back() == '\n' && text[text.size() - 2] != '\n' &&
           text[firstText] != ' ';
}

// text (whole lines) as a literal block whose lines of text are indented by indent blanks
// (empty lines stay empty).
std::string literal(const std::string &text, std::size_t indent) {
    std::string out = "|\n";
    bool lineStart = true;
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == '\n') {
            out += '\n';
            lineStart = true;
            continue;
        }
        if (lineStart) {
            out.append(indent, ' ');
            lineStart = false;
        }
        out += text[i];
    }
    return out;
}

/// Collects the lines of one device, each key at the device's indentation.
class DeviceWriter {
  public:
    explicit DeviceWriter(std::string &out) : out_(out) {}

    void write(const DeviceSpec &spec);

  private:
    static constexpr const char *kKeyIndent = "    ";
    static constexpr const char *kEntryIndent = "      - ";

    void line(const char *key, const std::string &value) {
        out_ += std::string(kKeyIndent) + key + ": " + value + "\n";
    }
    template <class S>
    static std::string flow_map(std::span<const NumberKey<S>> table, const S &source);
    template <class T, class F> static std::string flow_seq(const std::vector<T> &items, F text);
    template <class T, class F>
    void block_seq(const char *key, const std::vector<T> &items, F text);
    void texts(const DeviceSpec &spec);
    void id_prom(const char *key, const IdPromSpec &prom);
    static std::string status_code(const CustomCode &code);
    static std::string fault(const FaultRule &rule);

    std::string &out_;
};

template <class S>
std::string DeviceWriter::flow_map(std::span<const NumberKey<S>> table, const S &source) {
    std::string out = "{";
    for (const NumberKey<S> &entry : table) {
        out +=
            std::string(out.size() > 1 ? ", " : "") + entry.key + ": " + number_text(entry, source);
    }
    return out + "}";
}

template <class T, class F>
std::string DeviceWriter::flow_seq(const std::vector<T> &items, F text) {
    std::string out = "[";
    for (const T &item : items) {
        out += (out.size() > 1 ? ", " : "") + text(item);
    }
    return out + "]";
}

// An empty list is written as [] on the key's line.
template <class T, class F>
void DeviceWriter::block_seq(const char *key, const std::vector<T> &items, F text) {
    if (items.empty()) {
        line(key, "[]");
        return;
    }
    out_ += std::string(kKeyIndent) + key + ":\n";
    for (const T &item : items) {
        out_ += kEntryIndent + text(item) + "\n";
    }
}

// A text of whole lines reads best as a literal block; anything else is quoted with its
// escapes.
void DeviceWriter::texts(const DeviceSpec &spec) {
    for (const keys::TextKey &entry : keys::device_texts()) {
        const std::string &text = spec.*entry.field;
        line(entry.key, reads_back_as_literal(text) ? literal(text, 6) : quoted(text));
    }
}

void DeviceWriter::id_prom(const char *key, const IdPromSpec &prom) {
    if (prom.words.empty()) {
        line(key, flow_map(keys::id_prom_numbers(), prom));
        return;
    }
    out_ += std::string(kKeyIndent) + key + ":\n" + kKeyIndent +
            "  words: " + flow_seq(prom.words, [](uint16_t word) { return hex(word); }) + "\n";
}

std::string DeviceWriter::status_code(const CustomCode &code) {
    std::string out = "{code: " + hex(static_cast<uint32_t>(code.code));
    if ((code.code & 0x2000) == 0) {
        out += ", value: " + std::to_string(code.value);
    } else {
        out += ", bytes: " + flow_seq(code.bytes, [](uint8_t byte) { return hex(byte); });
    }
    if (code.writable) {
        out += ", writable: true";
    }
    if (code.writable && (code.code & 0x2000) != 0) {
        out += ", size: " + std::to_string(code.capacity);
    }
    return out + "}";
}

std::string error_text(Status error) {
    const char *text = trax_error_text_known(error);
    if (text == nullptr) {
        return hex(error);
    }
    const std::string_view symbol(text);
    return std::string(symbol.substr(0, symbol.find(':')));
}

std::string calls_text(uint32_t calls) {
    std::string out = "[";
    for (const keys::Symbol &call : keys::calls()) {
        if ((calls & (1u << call.value)) != 0) {
            out += std::string(out.size() > 1 ? ", " : "") + call.name;
        }
    }
    return out + "]";
}

std::string when_text(const FaultRule &rule) {
    static const char *const kCounted[] = {"nth", "every", "from"};
    if (rule.when == When::Probability) {
        char text[32];
        const auto result = std::to_chars(text, text + sizeof text, rule.probability);
        return ", probability: " + std::string(text, result.ptr);
    }
    if (rule.when != When::Always) {
        return std::string(", ") + kCounted[static_cast<int>(rule.when) - 1] + ": " +
               std::to_string(rule.n);
    }
    return {};
}

std::string DeviceWriter::fault(const FaultRule &rule) {
    std::string out = "{call: " + calls_text(rule.calls);
    if (!rule.codes.empty()) {
        out += ", code: " +
               flow_seq(rule.codes, [](int32_t code) { return hex(static_cast<uint32_t>(code)); });
    }
    if (rule.channel >= 0) {
        out += ", channel: " + std::to_string(rule.channel);
    }
    if (rule.error != 0) {
        out += ", error: " + error_text(rule.error);
    }
    if (rule.delayMs != 0) {
        out += ", delay_ms: " + std::to_string(rule.delayMs);
    }
    return out + when_text(rule) + "}";
}

void DeviceWriter::write(const DeviceSpec &spec) {
    out_ += "  - name: " + (is_plain(spec.name) ? spec.name : quoted(spec.name)) + "\n";
    line("model", keys::name_of(keys::models(), static_cast<int64_t>(spec.model)));
    texts(spec);
    for (const NumberKey<DeviceSpec> &entry : keys::device_numbers()) {
        line(entry.key, number_text(entry, spec));
    }
    line("channels", flow_map(keys::channel_numbers(), spec.channels));
    line("irq", flow_map(keys::irq_numbers(), spec.irq));
    block_seq("address_spaces", spec.spaces,
              [](const AddressSpace &space) { return flow_map(keys::space_numbers(), space); });
    id_prom("device_id_prom", spec.deviceIdProm);
    id_prom("board_id_prom", spec.boardIdProm);
    block_seq("status_codes", spec.statusCodes, status_code);
    block_seq("faults", spec.faults, fault);
}

} // namespace

std::string dump_definition(const DeviceSpec &spec) {
    std::string out;
    if (spec.seed) {
        out += "seed: " + std::to_string(*spec.seed) + "\n";
    }
    out += "devices:\n";
    DeviceWriter(out).write(spec);
    return out;
}

uint64_t definition_hash(const DeviceSpec &spec) {
    return fnv1a(dump_definition(spec));
}

} // namespace sim
