// Reading a YAML document into a YamlDocument from yaml-cpp's parser events.
#include "yaml_document.h"

#include <yaml-cpp/eventhandler.h>
#include <yaml-cpp/parser.h>

#include <sstream>

namespace sim {

/// Records the parser's events as nodes. A collection's node is made at its start, so
/// that an alias inside it can refer to it; its children wait on one shared stack until
/// its end, then move into the child table as one range.
class YamlBuilder : public YAML::EventHandler {
  public:
    explicit YamlBuilder(YamlDocument &document) : document_(document) {}

    void OnDocumentStart(const YAML::Mark &) override {}
    void OnDocumentEnd() override {}
    void OnNull(const YAML::Mark &mark, YAML::anchor_t anchor) override {
        add(YamlKind::Null, mark, anchor);
    }
    void OnAlias(const YAML::Mark &, YAML::anchor_t anchor) override {
        // The parser rejects an alias to an unknown anchor before it gets here.
        if (anchor >= 1 && anchor <= anchors_.size()) {
            pending_.push_back(anchors_[anchor - 1]);
        }
    }
    void OnScalar(const YAML::Mark &mark, const std::string &, YAML::anchor_t anchor,
                  const std::string &value) override {
        YamlEntry &entry = add(YamlKind::Scalar, mark, anchor);
        entry.first = static_cast<uint32_t>(document_.texts_.size());
        entry.count = static_cast<uint32_t>(value.size());
        document_.texts_ += value;
    }
    void OnSequenceStart(const YAML::Mark &mark, const std::string &, YAML::anchor_t anchor,
                         YAML::EmitterStyle::value) override {
        open(YamlKind::Sequence, mark, anchor);
    }
    void OnSequenceEnd() override { close(); }
    void OnMapStart(const YAML::Mark &mark, const std::string &, YAML::anchor_t anchor,
                    YAML::EmitterStyle::value) override {
        open(YamlKind::Map, mark, anchor);
    }
    void OnMapEnd() override { close(); }

  private:
    struct Open {
        uint32_t node;
        std::size_t firstPending;
    };

    YamlEntry &add(YamlKind kind, const YAML::Mark &mark, YAML::anchor_t anchor) {
        const auto index = static_cast<uint32_t>(document_.nodes_.size());
        document_.nodes_.push_back({kind, mark, 0, 0});
        pending_.push_back(index);
        if (anchor != YAML::NullAnchor) {
            anchors_.push_back(index);
        }
        return document_.nodes_.back();
    }

    void open(YamlKind kind, const YAML::Mark &mark, YAML::anchor_t anchor) {
        add(kind, mark, anchor);
        open_.push_back({pending_.back(), pending_.size()});
    }

    void close() {
        const Open done = open_.back();
        open_.pop_back();
        YamlEntry &entry = document_.nodes_[done.node];
        entry.first = static_cast<uint32_t>(document_.children_.size());
        entry.count = static_cast<uint32_t>(pending_.size() - done.firstPending);
        document_.children_.insert(
            document_.children_.end(),
            pending_.begin() + static_cast<std::ptrdiff_t>(done.firstPending), pending_.end());
        pending_.resize(done.firstPending);
    }

    YamlDocument &document_;
    std::vector<uint32_t> pending_;
    std::vector<Open> open_;
    std::vector<uint32_t> anchors_;
};

YamlDocument::YamlDocument(std::string_view text) {
    std::istringstream input{std::string(text)};
    YAML::Parser parser(input);
    YamlBuilder builder(*this);
    parser.HandleNextDocument(builder);
    if (nodes_.empty()) {
        nodes_.push_back({YamlKind::Null, YAML::Mark::null_mark(), 0, 0});
    }
}

bool YamlNode::is(YamlKind kind) const {
    return document_ != nullptr && document_->nodes_[index_].kind == kind;
}
bool YamlNode::is_null() const {
    return is(YamlKind::Null);
}
bool YamlNode::is_scalar() const {
    return is(YamlKind::Scalar);
}
bool YamlNode::is_sequence() const {
    return is(YamlKind::Sequence);
}
bool YamlNode::is_map() const {
    return is(YamlKind::Map);
}

std::string_view YamlNode::scalar() const {
    if (!is_scalar()) {
        return {};
    }
    const YamlEntry &entry = document_->nodes_[index_];
    return std::string_view(document_->texts_).substr(entry.first, entry.count);
}

YAML::Mark YamlNode::mark() const {
    return document_ != nullptr ? document_->nodes_[index_].mark : YAML::Mark::null_mark();
}

std::size_t YamlNode::size() const {
    if (is_sequence()) {
        return document_->nodes_[index_].count;
    }
    return is_map() ? document_->nodes_[index_].count / 2 : 0;
}

YamlNode YamlNode::child(std::size_t i) const {
    return {document_, document_->children_[document_->nodes_[index_].first + i]};
}

YamlNode YamlNode::entry(std::size_t i) const {
    return child(i);
}
YamlNode YamlNode::key(std::size_t i) const {
    return child(2 * i);
}
YamlNode YamlNode::value(std::size_t i) const {
    return child(2 * i + 1);
}

YamlNode YamlNode::operator[](std::string_view name) const {
    const std::size_t pairs = size();
    for (std::size_t i = 0; is_map() && i < pairs; ++i) {
        const YamlNode candidate = key(i);
        if (candidate.is_scalar() && candidate.scalar() == name) {
            return value(i);
        }
    }
    return {};
}

} // namespace sim
