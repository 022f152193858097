// A YamlDocument: reading it through the YAML reader library, and walking its table.
#include "yaml_document.h"

#include <new>

#include "yaml_reader_calls.h"

namespace sim {

YamlDocument::YamlDocument(std::string_view text) {
    const YamlReaderLibrary &library = yaml_reader_library();
    if (library.read == nullptr) {
        throw YamlError(YamlMark::null_mark(),
                        "YAML cannot be read without the YAML reader library: " + library.problem);
    }
    TraxYamlProblem problem{};
    switch (library.read(text.data(), text.size(), this, &problem)) {
    case TRAX_YAML_DONE:
        break;
    case TRAX_YAML_NO_MEMORY:
        throw std::bad_alloc();
    default:
        throw YamlError({problem.pos, problem.line, problem.column}, problem.message);
    }
    if (nodes_.empty()) {
        nodes_.push_back({YamlKind::Null, YamlMark::null_mark(), 0, 0});
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

YamlMark YamlNode::mark() const {
    return document_ != nullptr ? document_->nodes_[index_].mark : YamlMark::null_mark();
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
