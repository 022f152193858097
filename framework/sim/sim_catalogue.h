// The device catalogue of the simulated framework: what each simulated device is made of.
//
// A device is described by plain data (names, figures, channels, id-proms, address spaces,
// device-specific status codes, fault rules) plus the kind of low-level driver model that
// gives it behaviour. The description never changes once a device is in the catalogue;
// everything a device changes while it runs lives in its DeviceState. The catalogue is
// filled on first use from the built-in definitions and the user's definition files; tests
// add their own devices with Catalogue::add.
#ifndef TRAX_SIM_CATALOGUE_H
#define TRAX_SIM_CATALOGUE_H

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sim {

/// Error number of the framework (0 for success), as left in the thread's last error.
using Status = uint32_t;

/// Longest device, board, driver and hardware name in characters.
constexpr std::size_t kMaxNameLength = 39;

/// One address space of a device: where it lies and how big it is.
struct AddressSpace {
    uint32_t physical = 0;
    uint32_t virtualAddr = 0;
    uint32_t size = 0;
};

/// Contents of an identification PROM, built into 16-bit words: magic, id, revision,
/// serial number (two words), the name in ASCII and a checksum word at the end. A size
/// of 0 means there is no id-prom. When words is not empty, the id-prom is exactly those
/// words instead and the other fields are not used.
struct IdPromSpec {
    uint32_t size = 0;
    uint16_t magic = 0x5346;
    uint16_t id = 0;
    uint16_t revision = 0;
    uint32_t serial = 0;
    std::vector<uint16_t> words = {};
};

/// A device-specific status code (0x12xx standard, 0x22xx block) answered from the
/// definition: a fixed value or fixed bytes, or, when writable, a register or byte area
/// that starts with them and reads back what was last set.
struct CustomCode {
    int32_t code = 0;
    bool writable = false;
    int32_t value = 0;          ///< standard codes: the (initial) value
    std::vector<uint8_t> bytes; ///< block codes: the (initial) contents
    uint32_t capacity = 0;      ///< writable block codes: most bytes a set may store
};

/// The calls a fault rule can act on.
enum class DeviceCall : uint8_t {
    Open,
    Close,
    Read,
    Write,
    GetStat,
    SetStat,
    GetBlock,
    SetBlock,
    Ioctl
};
constexpr int kCallCount = 9;

/// When a fault rule fires, counted over the calls it matches on its device.
enum class When : uint8_t {
    Always,
    Nth,        ///< on the n-th call only
    Every,      ///< on every n-th call
    From,       ///< on the n-th call and every call after it
    Probability ///< on each call with the given probability
};

/// A fault or timing rule: which calls it matches, what it does, and when.
struct FaultRule {
    uint32_t calls = 0;         ///< bit (1 << DeviceCall) for each call matched
    std::vector<int32_t> codes; ///< status or ioctl codes matched; empty matches all
    int32_t channel = -1;       ///< channel matched by read and write; -1 matches all
    Status error = 0;           ///< error the call fails with; 0 lets it run
    int32_t delayMs = 0;        ///< time added before the call returns
    When when = When::Always;
    uint64_t n = 0;
    double probability = 0;
};

/// The low-level driver model that gives a device its behaviour.
enum class DriverModel {
    BinaryIo, ///< channels that keep one bit each, plus a block memory
    AnalogIn, ///< read-only channels that follow waveforms over time
    MtTest,   ///< software test driver: value registers and signal alarms
};

/// Channel figures as the low-level driver reports them.
struct ChannelSpec {
    int32_t number = 1;
    int32_t direction = 3; // M_CH_INOUT
    int32_t lengthBits = 32;
    int32_t type = 1; // M_CH_BINARY
};

/// Interrupt figures of the kernel, the driver and the board.
struct IrqSpec {
    int32_t installed = 0;
    int32_t enabled = 0;
    int32_t kernelCount = 0;
    int32_t driverCount = 0;
    int32_t vector = 0;
    int32_t level = 0;
    int32_t priority = 0;
    int32_t exceptionCount = 0;
    int32_t info = 0; // BBIS_IRQ_* bits
    int32_t mode = 0; // BBIS_IRQ_* bits
};

/// Everything that makes one catalogue device.
struct DeviceSpec {
    std::string name; ///< device name, the name M_open takes
    std::string hardwareName = "SIM-DEVICE";
    std::string driverName = "sim_ll"; ///< low-level driver
    std::string boardName = "SIM_BOARD";
    std::string boardDriverName = "sim_bb";
    std::string purpose = "device defined in a file"; ///< one line for listings
    /// multi-line revision text, each line ending in "\n"
    std::string revision = "trax_kernel 1.0  simulated kernel\n";
    DriverModel model = DriverModel::BinaryIo;
    ChannelSpec channels;
    IrqSpec irq;
    int32_t slot = 0;
    int32_t addrMode = 0;
    int32_t dataMode = 0;
    int32_t busType = 0;
    int32_t lockMode = 1;
    int32_t tickRate = 1000;
    int32_t driverIdCheck = 0;
    int32_t boardIdCheck = 0;
    uint32_t memorySize = 0; ///< bytes reachable by block reads and writes
    std::vector<AddressSpace> spaces;
    IdPromSpec deviceIdProm;
    IdPromSpec boardIdProm;
    std::vector<CustomCode> statusCodes;
    std::vector<FaultRule> faults;
    std::optional<uint64_t> seed; ///< seed of the fault rules' generator, if the file gave one
};

class Device;

/// The process's catalogue. Each entry gets one live device, made on its first open
/// and kept for the rest of the process, so that state survives between paths.
class Catalogue {
  public:
    /// Adds a device; fails (ERR_MK_NAME_TOO_LONG, ERR_MK_ILL_PARAM) for an empty or
    /// too long name or one already taken.
    static Status add(const DeviceSpec &spec);
    /// Names of all devices, the built-in ones first.
    static std::vector<std::string> names();
    /// Copy of the description of a device; false if there is none of that name.
    static bool describe(const std::string &name, DeviceSpec &spec);
    /// The live device of that name, made on first use; null if unknown.
    static std::shared_ptr<Device> device(const std::string &name);
};

/// The built-in entries, read from the definitions embedded in the library.
std::vector<DeviceSpec> builtin_devices();

} // namespace sim

#endif
