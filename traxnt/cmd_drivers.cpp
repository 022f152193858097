// Low-level driver and base-board information commands of traxnt: the channel and
// interrupt figures that the device's driver and the board driver report, and hex dumps of
// the device and board identification PROMs.
#include <algorithm>
#include <cstdio>

#include "cmd_util.h"
#include "commands.h"
#include "usr_utl.h"

namespace {

constexpr ValueName kChannelDirections[] = {
    {M_CH_IN, "M_CH_IN"}, {M_CH_OUT, "M_CH_OUT"}, {M_CH_INOUT, "M_CH_INOUT"}};
constexpr ValueName kChannelTypes[] = {{M_CH_UNKNOWN, "M_CH_UNKNOWN"},
                                       {M_CH_BINARY, "M_CH_BINARY"},
                                       {M_CH_ANALOG, "M_CH_ANALOG"},
                                       {M_CH_SERIAL, "M_CH_SERIAL"},
                                       {M_CH_COUNTER, "M_CH_COUNTER"}};

const char *ChannelDirectionName(int32_t value) {
    return NameOf(kChannelDirections, value);
}
const char *ChannelTypeName(int32_t value) {
    return NameOf(kChannelTypes, value);
}
const char *IdCheckName(int32_t value) {
    return value != 0 ? "enabled" : "disabled";
}

constexpr InfoRow kLlDrvRows[] = {
    {" M_LL_CH_NUMBER - number of channels : ", M_LL_CH_NUMBER, FetchDecimal},
    {" M_LL_CH_DIR    - channel direction  : ", M_LL_CH_DIR,
     [](int32_t code, char *text, size_t cap) {
         return FetchNamed(code, text, cap, "%d ( %s )", ChannelDirectionName);
     }},
    {" M_LL_CH_LEN    - channel length     : ", M_LL_CH_LEN,
     [](int32_t code, char *text, size_t cap) {
         return FetchFormatted(code, text, cap, "%d [bit]");
     }},
    {" M_LL_CH_TYP    - channel type       : ", M_LL_CH_TYP,
     [](int32_t code, char *text, size_t cap) {
         return FetchNamed(code, text, cap, "%d ( %s )", ChannelTypeName);
     }},
    {" M_LL_IRQ_COUNT - irq counter        : ", M_LL_IRQ_COUNT, FetchDecimal},
    {" M_LL_ID_CHECK  - id-prom check      : ", M_LL_ID_CHECK,
     [](int32_t code, char *text, size_t cap) {
         return FetchNamed(code, text, cap, "%d ( %s )", IdCheckName);
     }},
};

constexpr InfoRow kBbisRows[] = {
    {" M_BB_IRQ_VECT      - irq vector            : ", M_BB_IRQ_VECT, FetchDecimal},
    {" M_BB_IRQ_LEVEL     - irq level             : ", M_BB_IRQ_LEVEL, FetchDecimal},
    {" M_BB_IRQ_PRIORITY  - irq priotity          : ", M_BB_IRQ_PRIORITY, FetchDecimal},
    {" M_BB_IRQ_EXP_COUNT - exception irq counter : ", M_BB_IRQ_EXP_COUNT, FetchDecimal},
    {" M_BB_ID_CHECK      - id-prom check         : ", M_BB_ID_CHECK, FetchDecimal},
};

/// The status codes and texts of one identification PROM.
struct IdProm {
    int32_t sizeCode;
    int32_t dataCode;
    const char *dumpTitle;
    /// Smallest buffer size, so that what is written before the call always fits.
    int32_t minBufferSize;
    /// Writes what the driver expects in the buffer before the block call, or null.
    void (*preset)(char *buf, int32_t size);
};

/// The board driver expects two 32-bit words before the call: 0 and the id-prom size.
void PresetBoardIdProm(char *buf, int32_t size) {
    const int32_t words[2] = {0, size};
    std::copy_n(reinterpret_cast<const char *>(words), sizeof words, buf);
}

constexpr IdProm kDeviceIdProm = {M_LL_ID_SIZE, M_LL_BLK_ID_DATA, "device id-prom data", 0,
                                  nullptr};
constexpr IdProm kBoardIdProm = {M_BB_ID_SIZE, M_BB_BLK_ID_DATA, "board id-prom data", 8,
                                 PresetBoardIdProm};

/// Reads the id-prom size, fetches the contents into a buffer of its own and dumps them
/// in 16-bit units with the size that the block call reported.
int32_t DumpIdProm(const IdProm &prom) {
    int32_t size = 0;
    if (!QueryValue(prom.sizeCode, &size))
        return MapiErr();
    const int32_t bufferSize = std::max(size, prom.minBufferSize);
    char *buf = AllocCommandBuffer(bufferSize);
    if (buf == nullptr)
        return ReportNoMemory();
    if (prom.preset != nullptr)
        prom.preset(buf, size);
    M_SG_BLOCK block{size, buf};
    if (!QueryBlock(prom.dataCode, &block)) {
        FreeCommandBuffer(buf);
        return MapiErr();
    }
    // The dump never reaches past the buffer, whatever size the call reports.
    const int32_t dumpSize = std::clamp(block.size, 0, bufferSize);
    UTL_Memdump(prom.dumpTitle, static_cast<const char *>(block.data),
                static_cast<uint32_t>(dumpSize), 2);
    FreeCommandBuffer(buf);
    return 0;
}

} // namespace

int32_t LlDrvInfo() {
    printf("Get Low-Level driver info\n"
           " GetStat code   - description        : value\n"
           " -------------------------------------------\n");
    PrintRowsIndependently(kLlDrvRows, CountOf(kLlDrvRows));
    return 0;
}

int32_t BbisDrvInfo() {
    printf("Get BBIS driver info\n"
           " GetStat code       - description           : value\n"
           " --------------------------------------------------\n");
    PrintRowsIndependently(kBbisRows, CountOf(kBbisRows));
    return 0;
}

int32_t LlDevIdPromData() {
    printf("Get device id-prom data\n GetStat codes : M_LL_ID_SIZE, M_LL_BLK_ID_DATA\n");
    return DumpIdProm(kDeviceIdProm);
}

int32_t BbisBrdIdPromData() {
    printf("Get board id-prom data\n GetStat codes : M_BB_ID_SIZE, M_BB_BLK_ID_DATA\n");
    return DumpIdProm(kBoardIdProm);
}
