/* The device catalogue of the simulated framework: what each simulated device is made of.
 *
 * A device is described by plain data (names, figures, channels, id-proms, address spaces)
 * plus the kind of low-level driver model that gives it behaviour. The built-in entries
 * are registered on first use; tests add their own with Catalogue::add. */
#ifndef TRAX_SIM_CATALOGUE_H
#define TRAX_SIM_CATALOGUE_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace sim {

/** Error number of the framework (0 for success), as left in the thread's last error. */
using Status = uint32_t;

/** Longest device, board, driver and hardware name in characters. */
constexpr std::size_t kMaxNameLength = 39;

/** One address space of a device: where it lies and how big it is. */
struct AddressSpace {
    uint32_t physical = 0;
    uint32_t virtualAddr = 0;
    uint32_t size = 0;
};

/** Contents of an identification PROM, built into 16-bit words: magic, id, revision,
 *  serial number (two words), the name in ASCII and a checksum word at the end. A size
 *  of 0 means there is no id-prom. */
struct IdPromSpec {
    uint32_t size = 0;
    uint16_t magic = 0x5346;
    uint16_t id = 0;
    uint16_t revision = 0;
    uint32_t serial = 0;
};

/** The low-level driver model that gives a device its behaviour. */
enum class DriverModel {
    BinaryIo, /**< channels that keep one bit each, plus a block memory */
    AnalogIn, /**< read-only channels that follow waveforms over time */
    MtTest,   /**< software test driver: value registers and signal alarms */
};

/** Channel figures as the low-level driver reports them. */
struct ChannelSpec {
    int32_t number = 1;
    int32_t direction = 3; // M_CH_INOUT
    int32_t lengthBits = 32;
    int32_t type = 1; // M_CH_BINARY
};

/** Interrupt figures of the kernel, the driver and the board. */
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

/** Everything that makes one catalogue device. */
struct DeviceSpec {
    std::string name; /**< device name, the name M_open takes */
    std::string hardwareName;
    std::string driverName; /**< low-level driver */
    std::string boardName;
    std::string boardDriverName;
    std::string purpose;  /**< one line for listings */
    std::string revision; /**< multi-line revision text, each line ending in "\n" */
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
    uint32_t memorySize = 0; /**< bytes reachable by block reads and writes */
    std::vector<AddressSpace> spaces;
    IdPromSpec deviceIdProm;
    IdPromSpec boardIdProm;
    std::vector<int32_t> faultyCodes; /**< status codes that fail with a device fault */
    bool closeFails = false;          /**< closing fails and leaves the path open */
};

class Device;

/** The process's catalogue. Each entry gets one live device, made on its first open
 *  and kept for the rest of the process, so that state survives between paths. */
class Catalogue {
  public:
    /** Adds a device; fails (ERR_MK_NAME_TOO_LONG, ERR_MK_ILL_PARAM) for an empty or
     *  too long name or one already taken. */
    static Status add(const DeviceSpec &spec);
    /** Names of all devices, the built-in ones first. */
    static std::vector<std::string> names();
    /** Copy of the description of a device; false if there is none of that name. */
    static bool describe(const std::string &name, DeviceSpec &spec);
    /** The live device of that name, made on first use; null if unknown. */
    static std::shared_ptr<Device> device(const std::string &name);
};

/** The built-in entries. */
std::vector<DeviceSpec> builtin_devices();

} // namespace sim

#endif
