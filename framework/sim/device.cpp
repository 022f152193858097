// Live devices: state made from the catalogue description, and id-prom contents.
#include "sim_block.h"
#include "sim_codes.h"
#include "sim_drivers.h"
#include "trax_errors.h"

namespace sim {

Status Driver::get_stat(int32_t, int32_t *) {
    return ERR_LL_UNK_CODE;
}
Status Driver::set_stat(int32_t, int32_t) {
    return ERR_LL_UNK_CODE;
}
Status Driver::get_stat_block(int32_t, M_SG_BLOCK *) {
    return ERR_LL_UNK_CODE;
}
Status Driver::set_stat_block(int32_t, const M_SG_BLOCK *) {
    return ERR_LL_UNK_CODE;
}

namespace {

uint32_t direct_calls(const DeviceSpec &spec) {
    if (stored_bits(spec.model) == 0) {
        return 0;
    }
    uint32_t calls = 1u << static_cast<unsigned>(DeviceCall::Read) |
                     1u << static_cast<unsigned>(DeviceCall::Write);
    for (const FaultRule &rule : spec.faults) {
        calls &= ~rule.calls;
    }
    return calls;
}

} // namespace

Device::Device(DeviceSpec spec)
    : spec_(std::move(spec)), shared_(spec_), semaphore_(shared_),
      driver_(shared_.is_shared() ? nullptr : make_driver(spec_, shared_.device())),
      storedBits_(sim::stored_bits(spec_.model)), directCalls_(direct_calls(spec_)),
      deviceIdProm_(build_id_prom(spec_.deviceIdProm, spec_.hardwareName)),
      boardIdProm_(build_id_prom(spec_.boardIdProm, spec_.boardName)) {}

// The driver works on the state where it is mapped now, which may differ from the last
// time the state was attached.
Status Device::add_user() {
    bool attached = false;
    const Status status = shared_.add_user(attached);
    if (status == ERR_SUCCESS && attached) {
        driver_ = make_driver(spec_, shared_.device());
    }
    return status;
}

namespace {

// Words are stored least significant byte first, so that a dump in 16-bit units shows
// them as the numbers they are.
void put_word(std::vector<uint8_t> &prom, std::size_t wordIndex, uint16_t value) {
    const std::size_t at = wordIndex * 2;
    if (at + 1 < prom.size()) {
        prom[at] = static_cast<uint8_t>(value & 0xFF);
        prom[at + 1] = static_cast<uint8_t>(value >> 8);
    }
}

uint16_t get_word(const std::vector<uint8_t> &prom, std::size_t wordIndex) {
    return static_cast<uint16_t>(prom[wordIndex * 2] | (prom[wordIndex * 2 + 1] << 8));
}

} // namespace

// Layout in 16-bit words: 0 magic, 1 id, 2 revision, 3/4 serial number (high, low),
// 5.. the name in ASCII as far as it fits, zero-padded; the last word is the checksum,
// chosen so that the XOR of all words is 0.
std::vector<uint8_t> build_id_prom(const IdPromSpec &spec, const std::string &name) {
    if (!spec.words.empty()) {
        std::vector<uint8_t> prom(spec.words.size() * 2);
        for (std::size_t w = 0; w < spec.words.size(); ++w) {
            put_word(prom, w, spec.words[w]);
        }
        return prom;
    }
    std::vector<uint8_t> prom(spec.size & ~1u, 0);
    const std::size_t words = prom.size() / 2;
    if (words == 0) {
        return prom;
    }
    put_word(prom, 0, spec.magic);
    put_word(prom, 1, spec.id);
    put_word(prom, 2, spec.revision);
    put_word(prom, 3, static_cast<uint16_t>(spec.serial >> 16));
    put_word(prom, 4, static_cast<uint16_t>(spec.serial & 0xFFFF));
    const std::size_t nameEnd = words > 6 ? (words - 1) * 2 : 0;
    for (std::size_t i = 0; i < name.size() && 10 + i < nameEnd; ++i) {
        prom[10 + i] = static_cast<uint8_t>(name[i]);
    }
    uint16_t checksum = 0;
    for (std::size_t w = 0; w + 1 < words; ++w) {
        checksum ^= get_word(prom, w);
    }
    put_word(prom, words - 1, checksum);
    return prom;
}

Status id_prom_size(const std::vector<uint8_t> &prom, Status missing, int32_t *value) {
    return prom.empty() ? missing : value_of(static_cast<int32_t>(prom.size()), value);
}

Status id_prom_data(const std::vector<uint8_t> &prom, Status missing, M_SG_BLOCK *block) {
    if (prom.empty()) {
        return missing;
    }
    deliver_bytes(block, prom.data(), prom.size());
    return ERR_SUCCESS;
}

} // namespace sim
