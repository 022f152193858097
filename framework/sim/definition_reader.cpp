// Reading device definitions from YAML. Every problem is collected with its place in the
// file; a text with any problem yields no device at all.
#include <algorithm>
#include <charconv>
#include <map>
#include <optional>
#include <set>

#include "definition_keys.h"
#include "sim_definition.h"
#include "sim_limits.h"
#include "trax_error_text.h"
#include "yaml_cache.h"
#include "yaml_document.h"

namespace sim {

namespace {

using keys::NumberKey;
using keys::Symbol;

constexpr const char *kFileKeys[] = {"seed", "devices"};
constexpr const char *kStatusCodeKeys[] = {"code", "value", "bytes", "size", "writable"};
constexpr const char *kFaultKeys[] = {"call", "code",  "channel", "error",      "delay_ms",
                                      "nth",  "every", "from",    "probability"};
constexpr const char *kWhenKeys[] = {"nth", "every", "from", "probability"};
constexpr Symbol kBooleans[] = {{"false", 0}, {"true", 1}};
constexpr const char *kSubMaps[] = {"channels", "irq", "device_id_prom", "board_id_prom"};
constexpr const char *kSequences[] = {"address_spaces", "status_codes", "faults"};

/// Parses one definition text, collecting problems.
class Reader {
  public:
    explicit Reader(const std::string &fileName) : file_(fileName) {}

    /// Where the document of a text comes from: a parse, or the parse cache.
    using DocumentSource = YamlDocument (*)(std::string_view text, const std::string &fileName);

    Definitions read(std::string_view text, DocumentSource source);

  private:
    void problem(const YamlMark &mark, const std::string &message);
    bool is_map(YamlNode node, const char *what);
    bool is_sequence(YamlNode node, const char *what, std::size_t maxCount);
    bool is_text(YamlNode node, const char *what);
    /// Reports every key of map that allowed (names or table rows) does not list.
    template <class List> void known_keys(YamlNode map, const List &allowed);
    /// The value of key in map; reports it missing (and returns a null node) if absent.
    YamlNode required(YamlNode map, const char *key, const char *owner);
    /// Calls add for a single value, or for each entry of a list of at most maxCount.
    template <class F>
    void one_or_list(YamlNode node, const char *key, std::size_t maxCount, F add);
    std::optional<int64_t> number(YamlNode node, const char *key, int64_t min, int64_t max,
                                  std::span<const Symbol> symbols = {});
    std::optional<int64_t> symbol(YamlNode node, const char *key, std::span<const Symbol> symbols);
    std::optional<std::string> text(YamlNode node, const char *key, std::size_t maxLength);
    template <class S> void numbers(YamlNode map, std::span<const NumberKey<S>> table, S &target);
    template <class S>
    void sub_map(YamlNode device, const char *key, std::span<const NumberKey<S>> table, S &target);

    void read_file(YamlNode root, Definitions &out);
    std::optional<DeviceSpec> read_device(YamlNode node);
    void read_name(YamlNode node, DeviceSpec &spec);
    void read_spaces(YamlNode node, DeviceSpec &spec);
    void read_id_prom(YamlNode device, const char *key, IdPromSpec &prom);
    void read_status_codes(YamlNode node, DeviceSpec &spec);
    std::optional<CustomCode> read_status_code(YamlNode node);
    void read_code_bytes(YamlNode node, CustomCode &code);
    void read_faults(YamlNode node, DeviceSpec &spec);
    std::optional<FaultRule> read_fault(YamlNode node);
    void read_fault_calls(YamlNode node, FaultRule &rule);
    void read_fault_selectors(YamlNode node, FaultRule &rule);
    void read_fault_action(YamlNode node, FaultRule &rule);
    void read_probability(YamlNode node, FaultRule &rule);
    void read_fault_when(YamlNode node, FaultRule &rule);
    void check_duplicates(YamlNode devices, const std::vector<DeviceSpec> &specs);

    std::string file_;
    std::vector<std::string> problems_;
};

void Reader::problem(const YamlMark &mark, const std::string &message) {
    const int line = mark.is_null() ? 1 : mark.line + 1;
    const int column = mark.is_null() ? 1 : mark.column + 1;
    problems_.push_back(file_ + ":" + std::to_string(line) + ":" + std::to_string(column) + ": " +
                        message);
}

bool Reader::is_map(YamlNode node, const char *what) {
    if (!node.is_map()) {
        problem(node.mark(), std::string(what) + " must be a mapping of keys to values");
        return false;
    }
    return true;
}

bool Reader::is_sequence(YamlNode node, const char *what, std::size_t maxCount) {
    if (!node.is_sequence()) {
        problem(node.mark(), std::string(what) + " must be a list");
        return false;
    }
    if (node.size() > maxCount) {
        problem(node.mark(), std::string(what) + " has " + std::to_string(node.size()) +
                                 " entries, more than " + std::to_string(maxCount));
        return false;
    }
    return true;
}

bool Reader::is_text(YamlNode node, const char *what) {
    if (!node.is_scalar()) {
        problem(node.mark(), std::string(what) + " must be a single value");
        return false;
    }
    return true;
}

const char *key_of(const char *key) {
    return key;
}
template <class S> const char *key_of(const NumberKey<S> &entry) {
    return entry.key;
}

template <class List> void Reader::known_keys(YamlNode map, const List &allowed) {
    for (std::size_t i = 0; i < map.size(); ++i) {
        const YamlNode key = map.key(i);
        const std::string_view name = key.is_scalar() ? key.scalar() : std::string_view();
        const bool known = std::any_of(std::begin(allowed), std::end(allowed),
                                       [&](const auto &k) { return name == key_of(k); });
        if (!known) {
            problem(key.mark(), key.is_scalar() ? "unknown key '" + std::string(name) + "'"
                                                : "key must be a name");
        }
    }
}

YamlNode Reader::required(YamlNode map, const char *key, const char *owner) {
    const YamlNode value = map[key];
    if (!value) {
        problem(map.mark(), std::string("the ") + owner + " has no '" + key + "'");
    }
    return value;
}

template <class F>
void Reader::one_or_list(YamlNode node, const char *key, std::size_t maxCount, F add) {
    if (!node.is_sequence()) {
        add(node);
    } else if (is_sequence(node, key, maxCount)) {
        for (const YamlNode entry : node) {
            add(entry);
        }
    }
}

// A decimal number with an optional sign, a hexadecimal number with 0x, or a name.
std::optional<int64_t> parse_integer(std::string_view text, std::span<const Symbol> symbols) {
    for (const Symbol &symbol : symbols) {
        if (text == symbol.name) {
            return symbol.value;
        }
    }
    std::string_view digits = text;
    const bool negative = !digits.empty() && digits.front() == '-';
    if (negative || (!digits.empty() && digits.front() == '+')) {
        digits.remove_prefix(1);
    }
    int base = 10;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        digits.remove_prefix(2);
        base = 16;
    }
    uint64_t magnitude = 0;
    const auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), magnitude, base);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() ||
        magnitude > static_cast<uint64_t>(INT64_MAX)) {
        return std::nullopt;
    }
    const auto value = static_cast<int64_t>(magnitude);
    return negative ? -value : value;
}

std::string show(int64_t value, bool hex) {
    if (!hex || value < 0) {
        return std::to_string(value);
    }
    char text[24];
    const auto result = std::to_chars(text, text + sizeof text, value, 16);
    return "0x" + std::string(text, result.ptr);
}

std::optional<int64_t> Reader::number(YamlNode node, const char *key, int64_t min, int64_t max,
                                      std::span<const Symbol> symbols) {
    if (!is_text(node, key)) {
        return std::nullopt;
    }
    const std::optional<int64_t> value = parse_integer(node.scalar(), symbols);
    if (!value) {
        problem(node.mark(), std::string(key) + ": '" + std::string(node.scalar()) + "' is not " +
                                 (symbols.empty() ? "an integer" : "an integer or a known name"));
        return std::nullopt;
    }
    if (*value < min || *value > max) {
        const bool hex = max > 0xFFFF;
        problem(node.mark(), std::string(key) + ": " + std::string(node.scalar()) +
                                 " is out of range " + show(min, hex) + ".." + show(max, hex));
        return std::nullopt;
    }
    return value;
}

std::optional<int64_t> Reader::symbol(YamlNode node, const char *key,
                                      std::span<const Symbol> symbols) {
    if (!is_text(node, key)) {
        return std::nullopt;
    }
    std::string names;
    for (const Symbol &entry : symbols) {
        if (node.scalar() == entry.name) {
            return entry.value;
        }
        names += (names.empty() ? "" : ", ") + std::string(entry.name);
    }
    problem(node.mark(),
            std::string(key) + ": '" + std::string(node.scalar()) + "' is not one of " + names);
    return std::nullopt;
}

std::optional<std::string> Reader::text(YamlNode node, const char *key, std::size_t maxLength) {
    if (!is_text(node, key)) {
        return std::nullopt;
    }
    const std::string_view value = node.scalar();
    const bool multiLine = maxLength > kMaxNameLength;
    const auto printable = [&](char c) {
        return (c >= 0x20 && c < 0x7f) || (multiLine && c == '\n');
    };
    if (!std::all_of(value.begin(), value.end(), printable)) {
        problem(node.mark(), std::string(key) + " may hold printable ASCII characters only" +
                                 (multiLine ? " and line breaks" : ""));
        return std::nullopt;
    }
    if (value.size() > maxLength) {
        problem(node.mark(), std::string(key) + " is " + std::to_string(value.size()) +
                                 " characters long, more than " + std::to_string(maxLength));
        return std::nullopt;
    }
    return std::string(value);
}

template <class S>
void Reader::numbers(YamlNode map, std::span<const NumberKey<S>> table, S &target) {
    for (const NumberKey<S> &entry : table) {
        if (const YamlNode node = map[entry.key]) {
            if (auto value = number(node, entry.key, entry.min, entry.max, entry.symbols)) {
                entry.set(target, *value);
            }
        }
    }
}

template <class S>
void Reader::sub_map(YamlNode device, const char *key, std::span<const NumberKey<S>> table,
                     S &target) {
    const YamlNode node = device[key];
    if (!node || !is_map(node, key)) {
        return;
    }
    known_keys(node, table);
    numbers(node, table, target);
}

Definitions Reader::read(std::string_view text, DocumentSource source) {
    Definitions out;
    try {
        const YamlDocument document = source(text, file_);
        read_file(document.root(), out);
    } catch (const YamlError &e) {
        problem(e.mark(), e.what());
    }
    if (!problems_.empty()) {
        out.devices.clear();
    }
    out.problems = std::move(problems_);
    return out;
}

void Reader::read_file(YamlNode root, Definitions &out) {
    if (!root.is_map()) {
        problem(root.mark(), "a definition file must be a mapping with the key 'devices'");
        return;
    }
    known_keys(root, kFileKeys);
    std::optional<uint64_t> seed;
    if (const YamlNode node = root["seed"]) {
        if (auto value = number(node, "seed", 0, INT64_MAX)) {
            seed = static_cast<uint64_t>(*value);
        }
    }
    const YamlNode devices = root["devices"];
    if (!devices) {
        problem(root.mark(), "the key 'devices' is missing");
        return;
    }
    if (!is_sequence(devices, "devices", kMaxDevicesPerFile)) {
        return;
    }
    for (YamlNode node : devices) {
        if (std::optional<DeviceSpec> spec = read_device(node)) {
            spec->seed = seed;
            out.devices.push_back(std::move(*spec));
        }
    }
    if (out.devices.size() == devices.size()) {
        check_duplicates(devices, out.devices);
    }
}

void Reader::check_duplicates(YamlNode devices, const std::vector<DeviceSpec> &specs) {
    std::map<std::string, int> firstLine;
    for (std::size_t i = 0; i < specs.size(); ++i) {
        const YamlNode name = devices.entry(i)["name"];
        const auto [at, added] = firstLine.emplace(specs[i].name, name.mark().line + 1);
        if (!added) {
            problem(name.mark(), "device '" + specs[i].name + "' is already defined on line " +
                                     std::to_string(at->second));
        }
    }
}

// The keys of a device, collected once from the tables.
std::vector<const char *> collect_device_keys() {
    std::vector<const char *> names = {"name", "model"};
    for (const keys::TextKey &entry : keys::device_texts()) {
        names.push_back(entry.key);
    }
    for (const NumberKey<DeviceSpec> &entry : keys::device_numbers()) {
        names.push_back(entry.key);
    }
    names.insert(names.end(), std::begin(kSubMaps), std::end(kSubMaps));
    names.insert(names.end(), std::begin(kSequences), std::end(kSequences));
    return names;
}

std::optional<DeviceSpec> Reader::read_device(YamlNode node) {
    if (!is_map(node, "a device")) {
        return std::nullopt;
    }
    const std::size_t problemsBefore = problems_.size();
    static const std::vector<const char *> kDeviceKeys = collect_device_keys();
    known_keys(node, kDeviceKeys);
    DeviceSpec spec;
    read_name(node, spec);
    if (const YamlNode model = node["model"]) {
        if (auto value = symbol(model, "model", keys::models())) {
            spec.model = static_cast<DriverModel>(*value);
        }
    }
    for (const keys::TextKey &entry : keys::device_texts()) {
        if (const YamlNode text_node = node[entry.key]) {
            if (auto value = text(text_node, entry.key, entry.maxLength)) {
                spec.*entry.field = *value;
            }
        }
    }
    numbers(node, keys::device_numbers(), spec);
    sub_map(node, "channels", keys::channel_numbers(), spec.channels);
    sub_map(node, "irq", keys::irq_numbers(), spec.irq);
    read_spaces(node, spec);
    read_id_prom(node, "device_id_prom", spec.deviceIdProm);
    read_id_prom(node, "board_id_prom", spec.boardIdProm);
    read_status_codes(node, spec);
    read_faults(node, spec);
    if (problems_.size() != problemsBefore) {
        return std::nullopt;
    }
    return spec;
}

void Reader::read_name(YamlNode node, DeviceSpec &spec) {
    const YamlNode name = required(node, "name", "device");
    if (!name) {
        return;
    }
    if (auto value = text(name, "name", kMaxNameLength)) {
        if (value->empty()) {
            problem(name.mark(), "name is empty");
        }
        spec.name = *value;
    }
}

void Reader::read_spaces(YamlNode device, DeviceSpec &spec) {
    const YamlNode node = device["address_spaces"];
    if (!node || !is_sequence(node, "address_spaces", kMaxAddressSpaces)) {
        return;
    }
    for (YamlNode entry : node) {
        if (is_map(entry, "an address space")) {
            known_keys(entry, keys::space_numbers());
            AddressSpace space;
            numbers(entry, keys::space_numbers(), space);
            spec.spaces.push_back(space);
        }
    }
}

void Reader::read_id_prom(YamlNode device, const char *key, IdPromSpec &prom) {
    const YamlNode node = device[key];
    if (!node || !is_map(node, key)) {
        return;
    }
    const YamlNode words = node["words"];
    if (!words) {
        sub_map(device, key, keys::id_prom_numbers(), prom);
        if (prom.size % 2 != 0) {
            problem(node["size"].mark(), std::string(key) + ": size must be even");
        }
        return;
    }
    if (node.size() != 1) {
        problem(node.mark(), std::string(key) + ": 'words' cannot be combined with other keys");
    }
    if (!is_sequence(words, "words", kMaxIdPromBytes / 2)) {
        return;
    }
    prom = IdPromSpec{};
    for (YamlNode word : words) {
        if (auto value = number(word, "word", 0, 0xFFFF)) {
            prom.words.push_back(static_cast<uint16_t>(*value));
        }
    }
    prom.size = static_cast<uint32_t>(prom.words.size() * 2);
}

void Reader::read_status_codes(YamlNode device, DeviceSpec &spec) {
    const YamlNode node = device["status_codes"];
    if (!node || !is_sequence(node, "status_codes", kMaxStatusCodes)) {
        return;
    }
    const std::span<const int32_t> reserved = keys::model_codes(spec.model);
    std::set<int32_t> seen;
    uint32_t areaBytes = 0;
    for (YamlNode entry : node) {
        std::optional<CustomCode> code = read_status_code(entry);
        if (!code) {
            continue;
        }
        const YamlMark mark = entry["code"].mark();
        const std::string shown = show(code->code, true);
        if (!seen.insert(code->code).second) {
            problem(mark, "status code " + shown + " is listed twice");
        } else if (std::find(reserved.begin(), reserved.end(), code->code) != reserved.end()) {
            problem(mark, "status code " + shown + " belongs to the driver model");
        }
        areaBytes += code->writable ? code->capacity : 0;
        spec.statusCodes.push_back(std::move(*code));
    }
    if (areaBytes > kMaxAreaBytes) {
        problem(node.mark(), "writable block codes take " + std::to_string(areaBytes) +
                                 " bytes, more than " + std::to_string(kMaxAreaBytes));
    }
}

bool is_block_range(int64_t code) {
    return (code & ~0xFF) == 0x2200;
}

std::optional<CustomCode> Reader::read_status_code(YamlNode node) {
    if (!is_map(node, "a status code")) {
        return std::nullopt;
    }
    known_keys(node, kStatusCodeKeys);
    const YamlNode codeNode = required(node, "code", "status code");
    if (!codeNode) {
        return std::nullopt;
    }
    const std::optional<int64_t> raw = number(codeNode, "code", 0x1200, 0x22FF);
    if (!raw) {
        return std::nullopt;
    }
    if ((*raw & ~0xFF) != 0x1200 && !is_block_range(*raw)) {
        problem(codeNode.mark(), "code: " + std::string(codeNode.scalar()) +
                                     " is not a device-specific code (0x12xx or 0x22xx)");
        return std::nullopt;
    }
    CustomCode code;
    code.code = static_cast<int32_t>(*raw);
    if (const YamlNode writable = node["writable"]) {
        if (auto value = symbol(writable, "writable", kBooleans)) {
            code.writable = *value != 0;
        }
    }
    if (is_block_range(code.code)) {
        read_code_bytes(node, code);
    } else if (node["bytes"] || node["size"]) {
        problem(node.mark(), "a standard code (0x12xx) takes 'value', not 'bytes' or 'size'");
    } else if (const YamlNode value = node["value"]) {
        if (auto v = number(value, "value", INT32_MIN, UINT32_MAX)) {
            code.value = static_cast<int32_t>(static_cast<uint32_t>(*v));
        }
    }
    return code;
}

void Reader::read_code_bytes(YamlNode node, CustomCode &code) {
    if (node["value"]) {
        problem(node["value"].mark(), "a block code (0x22xx) takes 'bytes', not 'value'");
    }
    if (const YamlNode bytes = node["bytes"]) {
        if (is_sequence(bytes, "bytes", kMaxCodeBytes)) {
            for (YamlNode byte : bytes) {
                if (auto value = number(byte, "byte", 0, 0xFF)) {
                    code.bytes.push_back(static_cast<uint8_t>(*value));
                }
            }
        }
    }
    code.capacity = static_cast<uint32_t>(code.bytes.size());
    const YamlNode size = node["size"];
    if (!size) {
        return;
    }
    if (!code.writable) {
        problem(size.mark(), "size is only for a writable block code");
    } else if (auto value = number(size, "size", 0, kMaxCodeBytes)) {
        if (*value < static_cast<int64_t>(code.bytes.size())) {
            problem(size.mark(), "size " + std::string(size.scalar()) + " is smaller than the " +
                                     std::to_string(code.bytes.size()) + " bytes given");
        }
        code.capacity = static_cast<uint32_t>(*value);
    }
}

void Reader::read_faults(YamlNode device, DeviceSpec &spec) {
    const YamlNode node = device["faults"];
    if (!node || !is_sequence(node, "faults", kMaxFaultRules)) {
        return;
    }
    for (YamlNode entry : node) {
        if (std::optional<FaultRule> rule = read_fault(entry)) {
            spec.faults.push_back(std::move(*rule));
        }
    }
}

std::optional<FaultRule> Reader::read_fault(YamlNode node) {
    if (!is_map(node, "a fault rule")) {
        return std::nullopt;
    }
    const std::size_t problemsBefore = problems_.size();
    known_keys(node, kFaultKeys);
    FaultRule rule;
    read_fault_calls(node, rule);
    read_fault_selectors(node, rule);
    read_fault_action(node, rule);
    read_fault_when(node, rule);
    if (problems_.size() != problemsBefore) {
        return std::nullopt;
    }
    return rule;
}

void Reader::read_fault_calls(YamlNode node, FaultRule &rule) {
    if (const YamlNode calls = required(node, "call", "fault rule")) {
        one_or_list(calls, "call", keys::calls().size(), [&](YamlNode call) {
            if (auto value = symbol(call, "call", keys::calls())) {
                rule.calls |= 1u << static_cast<unsigned>(*value);
            }
        });
    }
}

constexpr uint32_t bit(DeviceCall call) {
    return 1u << static_cast<unsigned>(call);
}

void Reader::read_fault_selectors(YamlNode node, FaultRule &rule) {
    constexpr uint32_t kChannelCalls = bit(DeviceCall::Read) | bit(DeviceCall::Write);
    constexpr uint32_t kCodeCalls =
        bit(DeviceCall::GetStat) | bit(DeviceCall::SetStat) | bit(DeviceCall::Ioctl);
    if (const YamlNode channel = node["channel"]) {
        if ((rule.calls & ~kChannelCalls) != 0) {
            problem(channel.mark(), "channel is only for rules on read and write");
        } else if (auto value = number(channel, "channel", 0, kMaxChannels - 1)) {
            rule.channel = static_cast<int32_t>(*value);
        }
    }
    const YamlNode codes = node["code"];
    if (!codes) {
        return;
    }
    if ((rule.calls & ~kCodeCalls) != 0) {
        problem(codes.mark(), "code is only for rules on getstat, setstat and ioctl");
        return;
    }
    one_or_list(codes, "code", kMaxCodesPerRule, [&](YamlNode code) {
        if (auto value = number(code, "code", INT32_MIN, UINT32_MAX)) {
            rule.codes.push_back(static_cast<int32_t>(static_cast<uint32_t>(*value)));
        }
    });
}

void Reader::read_fault_action(YamlNode node, FaultRule &rule) {
    const YamlNode error = node["error"];
    const YamlNode delay = node["delay_ms"];
    if (!error && !delay) {
        problem(node.mark(), "the fault rule needs an 'error', a 'delay_ms' or both");
    }
    if (error && is_text(error, "error")) {
        const Status symbol = error_by_symbol(error.scalar());
        const std::optional<int64_t> value = parse_integer(error.scalar(), {});
        if (symbol != 0) {
            rule.error = symbol;
        } else if (value && *value > 0 && *value <= UINT32_MAX) {
            rule.error = static_cast<Status>(*value);
        } else {
            problem(error.mark(), "error: '" + std::string(error.scalar()) +
                                      "' is neither a symbol of the error table nor a number "
                                      "1..0xffffffff");
        }
    }
    if (delay) {
        if (auto value = number(delay, "delay_ms", 0, kMaxDelayMs)) {
            rule.delayMs = static_cast<int32_t>(*value);
        }
    }
}

void Reader::read_probability(YamlNode node, FaultRule &rule) {
    if (!is_text(node, "probability")) {
        return;
    }
    const std::string_view text = node.scalar();
    double value = -1;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        !(value >= 0.0 && value <= 1.0)) {
        problem(node.mark(),
                "probability: '" + std::string(text) + "' is not a number from 0 to 1");
        return;
    }
    rule.when = When::Probability;
    rule.probability = value;
}

void Reader::read_fault_when(YamlNode node, FaultRule &rule) {
    constexpr When kCounted[] = {When::Nth, When::Every, When::From};
    int found = 0;
    for (std::size_t i = 0; i < std::size(kWhenKeys); ++i) {
        const YamlNode when = node[kWhenKeys[i]];
        if (!when) {
            continue;
        }
        if (++found > 1) {
            problem(when.mark(), "a fault rule takes at most one of nth, every, from and "
                                 "probability");
            return;
        }
        if (i == std::size(kCounted)) {
            read_probability(when, rule);
        } else if (auto value = number(when, kWhenKeys[i], 1, INT64_MAX)) {
            rule.when = kCounted[i];
            rule.n = static_cast<uint64_t>(*value);
        }
    }
}

YamlDocument parsed_document(std::string_view text, const std::string &) {
    return YamlDocument(text);
}

} // namespace

Definitions parse_definitions(std::string_view text, const std::string &fileName) {
    return Reader(fileName).read(text, parsed_document);
}

Definitions parse_definition_file(std::string_view text, const std::string &path) {
    return Reader(path).read(text, cached_yaml_document);
}

Status error_by_symbol(std::string_view symbol) {
    if (symbol.empty()) {
        return 0;
    }
    for (uint32_t i = 0; i < trax_error_table_size(); ++i) {
        const uint32_t code = trax_error_table_code(i);
        const std::string_view text = trax_error_text_known(code);
        if (text.size() > symbol.size() && text.substr(0, symbol.size()) == symbol &&
            text[symbol.size()] == ':') {
            return code;
        }
    }
    return 0;
}

} // namespace sim
