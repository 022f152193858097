// The YAML reader library's C entry point: yaml-cpp's exceptions end here and leave as a
// result with the problem's place and message.
#include <yaml-cpp/depthguard.h>
#include <yaml-cpp/exceptions.h>

#include <algorithm>
#include <new>
#include <string_view>

#include "trax_export.h"
#include "yaml_reader_calls.h"
#include "yaml_reader_parts.h"

namespace {

int invalid(TraxYamlProblem *problem, const YAML::Mark &mark, std::string_view message) {
    problem->pos = mark.pos;
    problem->line = mark.line;
    problem->column = mark.column;
    const std::size_t length = std::min(message.size(), sizeof problem->message - 1);
    std::copy_n(message.data(), length, problem->message);
    problem->message[length] = '\0';
    return TRAX_YAML_INVALID;
}

} // namespace

TRAX_API int TraxYaml_Read(const char *text, size_t size, sim::YamlDocument *document,
                           TraxYamlProblem *problem) noexcept {
    try {
        sim::build_document({text, size}, *document);
        return TRAX_YAML_DONE;
    } catch (const YAML::DeepRecursion &e) {
        return invalid(problem, e.mark, "lists and mappings nested too deep");
    } catch (const YAML::Exception &e) {
        return invalid(problem, e.mark, e.msg);
    } catch (const std::bad_alloc &) {
        return TRAX_YAML_NO_MEMORY;
    } catch (const std::exception &e) {
        return invalid(problem, YAML::Mark::null_mark(), e.what());
    }
}
