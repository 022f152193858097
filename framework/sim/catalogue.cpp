/* The process's catalogue of devices and their live instances. */
#include <map>
#include <mutex>

#include "sim_catalogue.h"
#include "sim_device.h"
#include "trax_errors.h"

namespace sim {

namespace {

struct Entry {
    DeviceSpec spec;
    std::shared_ptr<Device> live;
};

class Registry {
  public:
    Registry() {
        for (const DeviceSpec &spec : builtin_devices()) {
            entries_.push_back({spec, nullptr});
        }
    }

    Status add(const DeviceSpec &spec) {
        if (spec.name.empty()) {
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
