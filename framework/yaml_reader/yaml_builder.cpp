// Reading a YAML text into a YamlDocument table from yaml-cpp's parser events.
#include <yaml-cpp/eventhandler.h>
#include <yaml-cpp/mark.h>
#include <yaml-cpp/parser.h>

#include <sstream>

#include "yaml_reader_parts.h"

namespace sim {

namespace {

YamlMark mark_of(const YAML::Mark &mark) {
    return {mark.pos, mark.line, mark.column};
}

} // namespace

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
        document_.nodes_.push_back({kind, mark_of(mark), 0, 0});
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

void build_document(std::string_view text, YamlDocument &document) {
    std::istringstream input{std::string(text)};
    YAML::Parser parser(input);
    YamlBuilder builder(document);
    parser.HandleNextDocument(builder);
}

} // namespace sim
