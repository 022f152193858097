// The process's catalogue of devices and their live instances.
#include <cstdio>
#include <mutex>

#include "sim_catalogue.h"
#include "sim_definition.h"
#include "sim_device.h"
#include "sim_limits.h"
#include "trax_errors.h"

namespace sim {

namespace {

struct Entry {
    DeviceSpec spec;
    std::shared_ptr<Device> live;
};

class Registry {
  public:
    // The built-in devices, then the user's definition files; a device of a name already
    // known replaces the earlier one in its place. A file with problems adds nothing and
    // says why on standard error.
    Registry() {
        for (DeviceSpec &spec : builtin_devices()) {
            place(std::move(spec));
        }
        for (const std::string &file : definition_sources()) {
            Definitions definitions = read_definition_file(file);
            for (const std::string &problem : definitions.problems) {
                std::fprintf(stderr, "%s\n", problem.c_str());
            }
            for (DeviceSpec &spec : definitions.devices) {
                place(std::move(spec));
            }
        }
    }

    Status add(const DeviceSpec &spec) {
        if (spec.name.empty() || !within_limits(spec)) {
            return ERR_MK_ILL_PARAM;
        }
        if (spec.name.size() > kMaxNameLength) {
            return ERR_MK_NAME_TOO_LONG;
        }
        std::lock_guard lock(mutex_);
        if (find(spec.name) != nullptr) {
            return ERR_MK_ILL_PARAM;
        }
        entries_.push_back({spec, nullptr});
        return ERR_SUCCESS;
    }

    std::vector<std::string> names() {
        std::lock_guard lock(mutex_);
        std::vector<std::string> result;
        for (const Entry &entry : entries_) {
            result.push_back(entry.spec.name);
        }
        return result;
    }

    bool describe(const std::string &name, DeviceSpec &spec) {
        std::lock_guard lock(mutex_);
        const Entry *entry = find(name);
        if (entry != nullptr) {
            spec = entry->spec;
        }
        return entry != nullptr;
    }

    std::shared_ptr<Device> device(const std::string &name) {
        std::lock_guard lock(mutex_);
        Entry *entry = find(name);
        if (entry == nullptr) {
            return nullptr;
        }
        if (!entry->live) {
            entry->live = std::make_shared<Device>(entry->spec);
        }
        return entry->live;
    }

  private:
    // What the file reader checks and the state relies on, for devices added directly.
    static bool within_limits(const DeviceSpec &spec) {
        return spec.channels.number >= 1 && spec.channels.number <= kMaxChannels &&
               spec.memorySize <= kMaxMemorySize && spec.statusCodes.size() <= kMaxStatusCodes &&
               spec.faults.size() <= kMaxFaultRules;
    }

    void place(DeviceSpec spec) {
        if (Entry *entry = find(spec.name)) {
            entry->spec = std::move(spec);
        } else if (entries_.size() < kMaxCatalogueDevices) {
            entries_.push_back({std::move(spec), nullptr});
        } else {
            std::fprintf(stderr,
                         "trax: device '%s' left out: the catalogue holds at most %zu "
                         "devices\n",
                         spec.name.c_str(), kMaxCatalogueDevices);
        }
    }

    Entry *find(const std::string &name) {
        for (Entry &entry : entries_) {
            if (entry.spec.name == name) {
                return &entry;
            }
        }
        return nullptr;
    }

    std::mutex mutex_;
    std::vector<Entry> entries_;
};

Registry &registry() {
    static Registry instance;
    return instance;
}

} // namespace

Status Catalogue::add(const DeviceSpec &spec) {
    return registry().add(spec);
}

std::vector<std::string> Catalogue::names() {
    return registry().names();
}

bool Catalogue::describe(const std::string &name, DeviceSpec &spec) {
    return registry().describe(name, spec);
}

std::shared_ptr<Device> Catalogue::device(const std::string &name) {
    return registry().device(name);
}

} // namespace sim
