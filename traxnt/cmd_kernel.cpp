// Kernel information and I/O-control commands of traxnt: what the framework's kernel
// reports about the device behind the current path (revision, address spaces, interrupts,
// device, board, path, locking and tick rate), and the device-semaphore and delay requests
// sent to the kernel driver on the path.
#include <cstdio>
#include <cstring>

#include "cmd_util.h"
#include "commands.h"
#include "input.h"
#include "usr_oss.h"
#include "usr_utl.h"

namespace {

// ---- Value descriptions ----

constexpr ValueName kAddrModeBits[] = {
    {TRAX_MA08, "TRAX_MA08 "}, {TRAX_MA24, "TRAX_MA24 "}, {TRAX_MA_PCICFG, "TRAX_MA_PCICFG "}};
constexpr ValueName kDataModeBits[] = {
    {TRAX_MD08, "TRAX_MD08 "}, {TRAX_MD16, "TRAX_MD16 "}, {TRAX_MD32, "TRAX_MD32 "}};
constexpr ValueName kIrqInfoBits[] = {{BBIS_IRQ_DEVIRQ, "BBIS_IRQ_DEVIRQ "},
                                      {BBIS_IRQ_EXPIRQ, "BBIS_IRQ_EXPIRQ "}};
constexpr ValueName kIrqModeBits[] = {{BBIS_IRQ_EXCEPTION, "BBIS_IRQ_EXCEPTION "},
                                      {BBIS_IRQ_EXCLUSIVE, "BBIS_IRQ_EXCLUSIVE "},
                                      {BBIS_IRQ_SHARED, "BBIS_IRQ_SHARED "}};
constexpr ValueName kBusTypes[] = {
    {OSS_BUSTYPE_NONE, "NONE"}, {OSS_BUSTYPE_VME, "VME"},       {OSS_BUSTYPE_PCI, "PCI"},
    {OSS_BUSTYPE_ISA, "ISA"},   {OSS_BUSTYPE_ISAPNP, "ISAPNP"}, {OSS_BUSTYPE_MMODULE, "MMODULE"}};
constexpr ValueName kLockModes[] = {
    {LL_LOCK_NONE, "LL_LOCK_NONE"}, {LL_LOCK_CALL, "LL_LOCK_CALL"}, {LL_LOCK_CHAN, "LL_LOCK_CHAN"}};

const char *YesNo(int32_t value) {
    return value != 0 ? "yes" : "no";
}
const char *EnabledDisabled(int32_t value) {
    return value != 0 ? "enabled" : "disabled";
}
const char *IoModeName(int32_t value) {
    return value == 0 ? "M_IO_EXEC" : "M_IO_EXEC_INC";
}

const char *BusTypeName(int32_t value) {
    return NameOf(kBusTypes, value);
}
const char *LockModeName(int32_t value) {
    return NameOf(kLockModes, value);
}

// ---- Row fetchers: query one code and describe its value ----

/// A bit-set value shown in decimal ("%d") or hexadecimal ("0x%x"), followed by the names
/// of its set bits in brackets.
template <size_t N>
bool FetchBitSet(int32_t code, char *text, size_t cap, const char *numberFormat,
                 const ValueName (&bits)[N], const char *zeroName) {
    int32_t value = 0;
    if (!QueryValue(code, &value))
        return false;
    snprintf(text, cap, numberFormat, value);
    strncat(text, " ( ", cap - strlen(text) - 1);
    AppendBitNames(text, cap, bits, value, zeroName);
    strncat(text, ")", cap - strlen(text) - 1);
    return true;
}

bool FetchAddrMode(int32_t code, char *text, size_t cap) {
    return FetchBitSet(code, text, cap, "%d", kAddrModeBits, "TRAX_MA_NONE ");
}

bool FetchDataMode(int32_t code, char *text, size_t cap) {
    return FetchBitSet(code, text, cap, "%d", kDataModeBits, "TRAX_MD_NONE ");
}

bool FetchIrqInfo(int32_t code, char *text, size_t cap) {
    return FetchBitSet(code, text, cap, "0x%x", kIrqInfoBits, "- ");
}

bool FetchIrqMode(int32_t code, char *text, size_t cap) {
    return FetchBitSet(code, text, cap, "0x%x", kIrqModeBits, "");
}

constexpr size_t kNameBufSize = 160;
constexpr int32_t kNameQuerySize = 40;

/// Queries a name text through its block code into a 160-byte buffer, of which the kernel
/// may fill 40 bytes; the text is taken up to its zero or the end of those bytes.
bool FetchName(int32_t code, char *text, size_t cap) {
    char name[kNameBufSize] = "";
    M_SG_BLOCK block{kNameQuerySize, name};
    if (!QueryBlock(code, &block))
        return false;
    snprintf(text, cap, "%.*s", BoundedLength(name, kNameQuerySize), name);
    return true;
}

// ---- Tables ----

constexpr InfoRow kIrqRows[] = {
    {" M_MK_IRQ_INSTALLED - irq service installed  : ", M_MK_IRQ_INSTALLED,
     [](int32_t code, char *text, size_t cap) {
         return FetchNamed(code, text, cap, "%d (%s)", YesNo);
     }},
    {" M_MK_IRQ_ENABLE    - irq state              : ", M_MK_IRQ_ENABLE,
     [](int32_t code, char *text, size_t cap) {
         return FetchNamed(code, text, cap, "%d (%s)", EnabledDisabled);
     }},
    {" M_MK_IRQ_COUNT     - irq counter            : ", M_MK_IRQ_COUNT, FetchDecimal},
};

constexpr InfoRow kDevRows[] = {
    {" M_MK_BLK_DEV_NAME   - dev name        : ", M_MK_BLK_DEV_NAME, FetchName},
    {" M_MK_BLK_HW_NAME    - dev hw name     : ", M_MK_BLK_HW_NAME, FetchName},
    {" M_MK_BLK_LL_HANDLER - dev driver name : ", M_MK_BLK_LL_HANDLER, FetchName},
    {" M_MK_DEV_SLOT       - dev slot number : ", M_MK_DEV_SLOT, FetchDecimal},
    {" M_MK_DEV_ADDRMODE   - dev addr mode   : ", M_MK_DEV_ADDRMODE, FetchAddrMode},
    {" M_MK_DEV_DATAMODE   - dev data mode   : ", M_MK_DEV_DATAMODE, FetchDataMode},
};

constexpr InfoRow kBrdRows[] = {
    {" M_MK_BLK_BRD_NAME   - brd name        : ", M_MK_BLK_BRD_NAME, FetchName},
    {" M_MK_BLK_BB_HANDLER - brd driver name : ", M_MK_BLK_BB_HANDLER, FetchName},
    {" M_MK_BUSTYPE        - brd bus type    : ", M_MK_BUSTYPE,
     [](int32_t code, char *text, size_t cap) {
         return FetchNamed(code, text, cap, "%d ( %s )", BusTypeName);
     }},
    {" M_MK_IRQ_INFO       - brd irq info    : ", M_MK_IRQ_INFO, FetchIrqInfo},
    {" M_MK_IRQ_MODE       - brd irq mode    : ", M_MK_IRQ_MODE, FetchIrqMode},
};

constexpr InfoRow kPathRows[] = {
    {" M_MK_PATHCNT    - nbr of open paths  : ", M_MK_PATHCNT, FetchDecimal},
    {" M_MK_CH_CURRENT - current channel    : ", M_MK_CH_CURRENT, FetchDecimal},
    {" M_MK_IO_MODE    - current i/o mode   : ", M_MK_IO_MODE,
     [](int32_t code, char *text, size_t cap) {
         return FetchNamed(code, text, cap, "%d ( %s )", IoModeName);
     }},
};

constexpr InfoRow kMiscRows[] = {
    {" M_MK_LOCKMODE - locking mode    : ", M_MK_LOCKMODE,
     [](int32_t code, char *text, size_t cap) {
         return FetchNamed(code, text, cap, "%d ( %s )", LockModeName);
     }},
    {" M_MK_TICKRATE - kernel tickrate : ", M_MK_TICKRATE,
     [](int32_t code, char *text, size_t cap) {
         return FetchFormatted(code, text, cap, "%d [tics/sec]");
     }},
};

// ---- Address spaces ----

/// Address-space record of the two address block codes.
struct AddrSpaceRecord {
    int32_t space;
    uint32_t address;
    uint32_t size;
};
static_assert(sizeof(AddrSpaceRecord) == 12);

/// Fills record with the address space of index space through code.
bool QueryAddrSpace(int32_t code, int32_t space, AddrSpaceRecord *record) {
    *record = {space, 0, 0};
    M_SG_BLOCK block{static_cast<int32_t>(sizeof *record), record};
    return QueryBlock(code, &block);
}

// ---- I/O control ----

/// Sends an I/O-control request with an optional 32-bit input to the current path.
bool SendIoctl(DWORD code, int32_t *input) {
    DWORD bytesReturned = 0;
    return DeviceIoControl(CurrentDeviceHandle(), code, input, input != nullptr ? sizeof *input : 0,
                           nullptr, 0, &bytesReturned, nullptr) != FALSE;
}

/// Prints prompt, reads a number of milliseconds and sends it with code; a non-number
/// abandons the command.
int32_t SendMsecIoctl(const char *prompt, DWORD code) {
    printf("%s", prompt);
    int32_t msec = 0;
    if (!ReadDec(&msec))
        return -1;
    return SendIoctl(code, &msec) ? 0 : ReportWindowsError();
}

} // namespace

int32_t MkGetRevString() {
    printf("Get revision strings\n GetStat codes : M_MK_REV_SIZE, M_MK_BLK_REV_ID\n");
    int32_t size = 0;
    if (!QueryValue(M_MK_REV_SIZE, &size))
        return MapiErr();
    char *text = AllocCommandBuffer(size);
    if (text == nullptr)
        return ReportNoMemory();
    M_SG_BLOCK block{size, text};
    if (!QueryBlock(M_MK_BLK_REV_ID, &block)) {
        FreeCommandBuffer(text);
        return MapiErr();
    }
    printf(" %.*s", BoundedLength(text, static_cast<size_t>(size)), text);
    FreeCommandBuffer(text);
    printf(" %s\n", UOS_Ident());
    printf(" %s\n", UTL_Ident());
    return 0;
}

int32_t MkGetAddrInfo() {
    printf("Get address info\n"
           " GetStat codes : M_MK_NBR_ADDR_SPACE, M_MK_BLK_PHYSADDR, M_MK_BLK_VIRTADDR\n");
    int32_t count = 0;
    if (!QueryValue(M_MK_NBR_ADDR_SPACE, &count))
        return MapiErr();
    printf(" space | physical addr | virtual addr | size      \n"
           " ------+---------------+--------------+-----------\n");
    for (int32_t space = 0; space < count; ++space) {
        AddrSpaceRecord phys{};
        AddrSpaceRecord virt{};
        if (!QueryAddrSpace(M_MK_BLK_PHYSADDR, space, &phys) ||
            !QueryAddrSpace(M_MK_BLK_VIRTADDR, space, &virt))
            return MapiErr();
        printf(" %5d |    0x%.8x |   0x%.8x | 0x%.8x\n", space, phys.address, virt.address,
               virt.size);
    }
    return 0;
}

int32_t MkGetIrqInfo() {
    printf("Get interrupt info\n"
           " GetStat code       - description            : value\n"
           " ---------------------------------------------------\n");
    return PrintRowsUntilFailure(kIrqRows, CountOf(kIrqRows));
}

int32_t MkGetDevInfo() {
    printf("Get device info\n"
           " GetStat code        - description     : value\n"
           " ---------------------------------------------\n");
    PrintRowsIndependently(kDevRows, CountOf(kDevRows));
    return 0;
}

int32_t MkGetBrdInfo() {
    printf("Get board info\n"
           " GetStat code        - description     : value\n"
           " ---------------------------------------------\n");
    PrintRowsIndependently(kBrdRows, CountOf(kBrdRows));
    return 0;
}

int32_t MkGetPathInfo() {
    printf("Get path info\n"
           " GetStat code    - description        : value\n"
           " --------------------------------------------\n");
    return PrintRowsUntilFailure(kPathRows, CountOf(kPathRows));
}

int32_t MkGetMiscInfo() {
    printf("Get miscellaneous info\n"
           " GetStat code  - description     : value\n"
           " ---------------------------------------\n");
    return PrintRowsUntilFailure(kMiscRows, CountOf(kMiscRows));
}

int32_t MkDevSemWait() {
    printf("Wait for device semaphore\n");
    return SendMsecIoctl(" msec to wait (0=no wait, -1=wait forever) -> ", MK_IOCTL_DEVSEM_WAIT);
}

int32_t MkDevSemRelease() {
    printf("Release device semaphore\n");
    return SendIoctl(MK_IOCTL_DEVSEM_RELEASE, nullptr) ? 0 : ReportWindowsError();
}

int32_t MkIoctlDelay() {
    printf("IOCTL for delay\n");
    return SendMsecIoctl(" msec to delay -> ", MK_IOCTL_DELAY);
}
