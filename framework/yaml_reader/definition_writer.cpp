// Writing a device description back out as a definition file with yaml-cpp's emitter.
#include <yaml-cpp/yaml.h>

#include <charconv>

#include "definition_keys.h"
#include "trax_error_text.h"
#include "yaml_reader_parts.h"

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

template <class S>
void write_numbers(YAML::Emitter &out, std::span<const NumberKey<S>> table, const S &source) {
    for (const NumberKey<S> &entry : table) {
        out << YAML::Key << entry.key << YAML::Value << number_text(entry, source);
    }
}

template <class S>
void write_map(YAML::Emitter &out, const char *key, std::span<const NumberKey<S>> table,
               const S &source) {
    out << YAML::Key << key << YAML::Value << YAML::Flow << YAML::BeginMap;
    write_numbers(out, table, source);
    out << YAML::EndMap;
}

// An empty list is written as [] on the key's line.
template <class T> YAML::EMITTER_MANIP seq_style(const std::vector<T> &items) {
    return items.empty() ? YAML::Flow : YAML::Block;
}

// Whether a literal block gives text back as it is: whole lines, the last one not empty
// (the block keeps one final line break only), and the first line with text not indented
// (the block takes its indentation from that line).
bool reads_back_as_literal(const std::string &text) {
    const std::size_t firstText = text.find_first_not_of('\n');
    return text.size() >= 2 && text.back() == '\n' && text[text.size() - 2] != '\n' &&
           text[firstText] != ' ';
}

void write_texts(YAML::Emitter &out, const DeviceSpec &spec) {
    for (const keys::TextKey &entry : keys::device_texts()) {
        // A text of whole lines reads best as a literal block; anything else is quoted with
        // its escapes.
        const std::string &text = spec.*entry.field;
        out << YAML::Key << entry.key << YAML::Value;
        if (reads_back_as_literal(text)) {
            out << YAML::Literal << text.substr(0, text.size() - 1);
        } else {
            out << YAML::DoubleQuoted << text;
        }
    }
}

void write_spaces(YAML::Emitter &out, const DeviceSpec &spec) {
    out << YAML::Key << "address_spaces" << YAML::Value << seq_style(spec.spaces) << YAML::BeginSeq;
    for (const AddressSpace &space : spec.spaces) {
        out << YAML::Flow << YAML::BeginMap;
        write_numbers(out, keys::space_numbers(), space);
        out << YAML::EndMap;
    }
    out << YAML::EndSeq;
}

void write_id_prom(YAML::Emitter &out, const char *key, const IdPromSpec &prom) {
    if (prom.words.empty()) {
        write_map(out, key, keys::id_prom_numbers(), prom);
        return;
    }
    out << YAML::Key << key << YAML::Value << YAML::BeginMap << YAML::Key << "words" << YAML::Value
        << YAML::Flow << YAML::BeginSeq;
    for (const uint16_t word : prom.words) {
        out << hex(word);
    }
    out << YAML::EndSeq << YAML::EndMap;
}

void write_bytes(YAML::Emitter &out, const std::vector<uint8_t> &bytes) {
    out << YAML::Key << "bytes" << YAML::Value << YAML::Flow << YAML::BeginSeq;
    for (const uint8_t byte : bytes) {
        out << hex(byte);
    }
    out << YAML::EndSeq;
}

void write_status_codes(YAML::Emitter &out, const DeviceSpec &spec) {
    out << YAML::Key << "status_codes" << YAML::Value << seq_style(spec.statusCodes)
        << YAML::BeginSeq;
    for (const CustomCode &code : spec.statusCodes) {
        out << YAML::Flow << YAML::BeginMap << YAML::Key << "code" << YAML::Value
            << hex(static_cast<uint32_t>(code.code));
        if ((code.code & 0x2000) == 0) {
            out << YAML::Key << "value" << YAML::Value << std::to_string(code.value);
        } else {
            write_bytes(out, code.bytes);
        }
        if (code.writable) {
            out << YAML::Key << "writable" << YAML::Value << "true";
        }
        if (code.writable && (code.code & 0x2000) != 0) {
            out << YAML::Key << "size" << YAML::Value << std::to_string(code.capacity);
        }
        out << YAML::EndMap;
    }
    out << YAML::EndSeq;
}

std::string error_text(Status error) {
    const char *text = trax_error_text_known(error);
    if (text == nullptr) {
        return hex(error);
    }
    const std::string_view symbol(text);
    return std::string(symbol.substr(0, symbol.find(':')));
}

void write_calls(YAML::Emitter &out, uint32_t calls) {
    out << YAML::Key << "call" << YAML::Value << YAML::Flow << YAML::BeginSeq;
    for (const keys::Symbol &call : keys::calls()) {
        if ((calls & (1u << call.value)) != 0) {
            out << call.name;
        }
    }
    out << YAML::EndSeq;
}

void write_when(YAML::Emitter &out, const FaultRule &rule) {
    static const char *const kCounted[] = {"nth", "every", "from"};
    if (rule.when == When::Probability) {
        char text[32];
        const auto result = std::to_chars(text, text + sizeof text, rule.probability);
        out << YAML::Key << "probability" << YAML::Value << std::string(text, result.ptr);
    } else if (rule.when != When::Always) {
        out << YAML::Key << kCounted[static_cast<int>(rule.when) - 1] << YAML::Value
            << std::to_string(rule.n);
    }
}

void write_fault(YAML::Emitter &out, const FaultRule &rule) {
    out << YAML::Flow << YAML::BeginMap;
    write_calls(out, rule.calls);
    if (!rule.codes.empty()) {
        out << YAML::Key << "code" << YAML::Value << YAML::Flow << YAML::BeginSeq;
        for (const int32_t code : rule.codes) {
            out << hex(static_cast<uint32_t>(code));
        }
        out << YAML::EndSeq;
    }
    if (rule.channel >= 0) {
        out << YAML::Key << "channel" << YAML::Value << std::to_string(rule.channel);
    }
    if (rule.error != 0) {
        out << YAML::Key << "error" << YAML::Value << error_text(rule.error);
    }
    if (rule.delayMs != 0) {
        out << YAML::Key << "delay_ms" << YAML::Value << std::to_string(rule.delayMs);
    }
    write_when(out, rule);
    out << YAML::EndMap;
}

void write_device(YAML::Emitter &out, const DeviceSpec &spec) {
    out << YAML::BeginMap;
    out << YAML::Key << "name" << YAML::Value << spec.name;
    out << YAML::Key << "model" << YAML::Value
        << keys::name_of(keys::models(), static_cast<int64_t>(spec.model));
    write_texts(out, spec);
    write_numbers(out, keys::device_numbers(), spec);
    write_map(out, "channels", keys::channel_numbers(), spec.channels);
    write_map(out, "irq", keys::irq_numbers(), spec.irq);
    write_spaces(out, spec);
    write_id_prom(out, "device_id_prom", spec.deviceIdProm);
    write_id_prom(out, "board_id_prom", spec.boardIdProm);
    write_status_codes(out, spec);
    out << YAML::Key << "faults" << YAML::Value << seq_style(spec.faults) << YAML::BeginSeq;
    for (const FaultRule &rule : spec.faults) {
        write_fault(out, rule);
    }
    out << YAML::EndSeq << YAML::EndMap;
}

} // namespace

std::string write_definition(const DeviceSpec &spec) {
    YAML::Emitter out;
    out << YAML::BeginMap;
    if (spec.seed) {
        out << YAML::Key << "seed" << YAML::Value << std::to_string(*spec.seed);
    }
    out << YAML::Key << "devices" << YAML::Value << YAML::BeginSeq;
    write_device(out, spec);
    out << YAML::EndSeq << YAML::EndMap;
    return std::string(out.c_str()) + "\n";
}

} // namespace sim
