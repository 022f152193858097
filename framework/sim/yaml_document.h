// A YAML document read into one compact table, for the definition reader. The YAML reader
// library (loaded at the first parse) fills it from yaml-cpp's event parser; every node
// keeps the mark of its event, scalars share one text buffer, and children are index
// ranges, so reading a document costs no allocation per node. The shape matches what
// yaml-cpp's own node tree would hold: the first document only, aliases sharing the
// anchored node, duplicate keys kept (a look-up finds the first).
#ifndef TRAX_SIM_YAML_DOCUMENT_H
#define TRAX_SIM_YAML_DOCUMENT_H

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

class YamlDocument;
struct YamlTable;

/// A place in a YAML text, counted from 0; all -1 for no place.
struct YamlMark {
    int pos = 0;
    int line = 0;
    int column = 0;

    static YamlMark null_mark() { return {-1, -1, -1}; }
    bool is_null() const { return pos == -1 && line == -1 && column == -1; }
};

/// A text that is no valid YAML, or that could not be read at all, with the place of the
/// problem (the null mark when it concerns the whole text).
class YamlError : public std::runtime_error {
  public:
    YamlError(const YamlMark &mark, const std::string &message)
        : std::runtime_error(message), mark_(mark) {}
    const YamlMark &mark() const { return mark_; }

  private:
    YamlMark mark_;
};

enum class YamlKind : uint8_t { Null, Scalar, Sequence, Map };

/// One node of a YamlDocument: its kind, its mark, and a range of the text buffer (scalar)
/// or of the child table (sequence: entries; mapping: key, value, key, value...).
struct YamlEntry {
    YamlKind kind;
    YamlMark mark;
    uint32_t first;
    uint32_t count;
};

/// A node of a YamlDocument, or no node (a key that a mapping does not have).
class YamlNode {
  public:
    YamlNode() = default;
    YamlNode(const YamlDocument *document, uint32_t index) : document_(document), index_(index) {}

    /// True for an existing node, also for a null value.
    explicit operator bool() const { return document_ != nullptr; }
    bool is_null() const;
    bool is_scalar() const;
    bool is_sequence() const;
    bool is_map() const;
    /// The text of a scalar; empty for any other node.
    std::string_view scalar() const;
    /// Where the node starts; the null mark for no node.
    YamlMark mark() const;
    /// Entries of a sequence, pairs of a mapping, 0 for anything else.
    std::size_t size() const;
    /// Entry i of a sequence.
    YamlNode entry(std::size_t i) const;
    /// Key and value of pair i of a mapping.
    YamlNode key(std::size_t i) const;
    YamlNode value(std::size_t i) const;
    /// The value of the first pair whose key is the scalar key; no node if none.
    YamlNode operator[](std::string_view key) const;

    /// Walks the entries of a sequence.
    class Iterator {
      public:
        Iterator(const YamlNode *node, std::size_t i) : node_(node), i_(i) {}
        YamlNode operator*() const { return node_->entry(i_); }
        Iterator &operator++() {
            ++i_;
            return *this;
        }
        bool operator!=(const Iterator &other) const { return i_ != other.i_; }

      private:
        const YamlNode *node_;
        std::size_t i_;
    };
    Iterator begin() const { return {this, 0}; }
    Iterator end() const { return {this, is_sequence() ? size() : 0}; }

  private:
    bool is(YamlKind kind) const;
    YamlNode child(std::size_t i) const;

    const YamlDocument *document_ = nullptr;
    uint32_t index_ = 0;
};

/// The first document of a YAML text.
class YamlDocument {
  public:
    /// Parses text with the YAML reader library; throws YamlError on invalid YAML, when the
    /// library cannot be loaded, and std::bad_alloc when memory runs out.
    explicit YamlDocument(std::string_view text);

    /// The document's top node; a null node for an empty text.
    YamlNode root() const { return {this, 0}; }

  private:
    friend class YamlNode;
    friend class YamlBuilder;
    // The parse cache stores a document's table and makes a document of a stored table.
    friend YamlTable table_of(const YamlDocument &document);
    friend YamlDocument document_of(YamlTable &&table);
    YamlDocument() = default;

    std::vector<YamlEntry> nodes_;
    std::vector<uint32_t> children_;
    std::string texts_;
};

} // namespace sim

#endif
