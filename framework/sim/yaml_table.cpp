// A YamlDocument's node table as bytes and back. The bytes are three counts (nodes,
// children, text bytes), then each node as kind, mark (position, line, column), first and
// count, then the child indices, then the scalar texts; numbers in the machine's own byte
// order, as an entry never leaves the machine that wrote it. Reading checks everything the
// reader relies on, so that no stored table, however made, can lead it out of its tables.
#include <cstring>

#include "yaml_cache.h"

namespace sim {

namespace {

constexpr std::size_t kCountsBytes = 3 * sizeof(uint32_t);
constexpr std::size_t kNodeBytes = 1 + 3 * sizeof(int) + 2 * sizeof(uint32_t);

template <class T> void put(std::string &out, T value) {
    char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    out.append(bytes, sizeof(T));
}

/// Takes values from the front of a byte range that is known to be long enough.
class Bytes {
  public:
    explicit Bytes(const char *at) : at_(at) {}
    template <class T> T take() {
        T value;
        std::memcpy(&value, at_, sizeof(T));
        at_ += sizeof(T);
        return value;
    }
    const char *at() const { return at_; }

  private:
    const char *at_;
};

bool inside(uint64_t first, uint64_t count, uint64_t size) {
    return first <= size && count <= size - first;
}

// A node's mark is the null mark, or a place in the text whose line and column are no
// larger than its position (so that the reader's line + 1 cannot overflow either).
bool sound_mark(const YamlEntry &node, std::size_t textSize) {
    const auto &mark = node.mark;
    return mark.is_null() ||
           (mark.pos >= 0 && static_cast<uint64_t>(mark.pos) <= textSize && mark.line >= 0 &&
            mark.line <= mark.pos && mark.column >= 0 && mark.column <= mark.pos);
}

bool sound_node(const YamlEntry &node, const YamlTable &table, std::size_t textSize) {
    if (!sound_mark(node, textSize)) {
        return false;
    }
    switch (node.kind) {
    case YamlKind::Null:
        return node.first == 0 && node.count == 0;
    case YamlKind::Scalar:
        return inside(node.first, node.count, table.texts.size());
    case YamlKind::Sequence:
        return inside(node.first, node.count, table.children.size());
    case YamlKind::Map:
        return node.count % 2 == 0 && inside(node.first, node.count, table.children.size());
    }
    return false;
}

bool sound_table(const YamlTable &table, std::size_t textSize) {
    if (table.nodes.empty()) {
        return false;
    }
    for (const YamlEntry &node : table.nodes) {
        if (!sound_node(node, table, textSize)) {
            return false;
        }
    }
    for (const uint32_t child : table.children) {
        if (child >= table.nodes.size()) {
            return false;
        }
    }
    return true;
}

YamlEntry take_node(Bytes &bytes) {
    YamlEntry node{};
    node.kind = static_cast<YamlKind>(bytes.take<uint8_t>());
    node.mark.pos = bytes.take<int>();
    node.mark.line = bytes.take<int>();
    node.mark.column = bytes.take<int>();
    node.first = bytes.take<uint32_t>();
    node.count = bytes.take<uint32_t>();
    return node;
}

} // namespace

YamlTable table_of(const YamlDocument &document) {
    return {document.nodes_, document.children_, document.texts_};
}

YamlDocument document_of(YamlTable &&table) {
    YamlDocument document;
    document.nodes_ = std::move(table.nodes);
    document.children_ = std::move(table.children);
    document.texts_ = std::move(table.texts);
    return document;
}

std::string encode_table(const YamlTable &table) {
    std::string out;
    out.reserve(kCountsBytes + table.nodes.size() * kNodeBytes +
                table.children.size() * sizeof(uint32_t) + table.texts.size());
    put(out, static_cast<uint32_t>(table.nodes.size()));
    put(out, static_cast<uint32_t>(table.children.size()));
    put(out, static_cast<uint32_t>(table.texts.size()));
    for (const YamlEntry &node : table.nodes) {
        put(out, static_cast<uint8_t>(node.kind));
        put(out, node.mark.pos);
        put(out, node.mark.line);
        put(out, node.mark.column);
        put(out, node.first);
        put(out, node.count);
    }
    for (const uint32_t child : table.children) {
        put(out, child);
    }
    out += table.texts;
    return out;
}

std::optional<YamlTable> decode_table(std::string_view bytes, std::size_t textSize) {
    if (bytes.size() < kCountsBytes) {
        return std::nullopt;
    }
    Bytes in(bytes.data());
    const uint64_t nodes = in.take<uint32_t>(), children = in.take<uint32_t>(),
                   texts = in.take<uint32_t>();
    // Counts of at most 2^32 each keep this sum far from overflowing; it must be the size
    // exactly before anything is allocated.
    if (kCountsBytes + nodes * kNodeBytes + children * sizeof(uint32_t) + texts != bytes.size()) {
        return std::nullopt;
    }
    YamlTable table;
    table.nodes.resize(nodes);
    for (YamlEntry &node : table.nodes) {
        node = take_node(in);
    }
    table.children.resize(children);
    for (uint32_t &child : table.children) {
        child = in.take<uint32_t>();
    }
    table.texts.assign(in.at(), texts);
    if (!sound_table(table, textSize)) {
        return std::nullopt;
    }
    return table;
}

} // namespace sim
