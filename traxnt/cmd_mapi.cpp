// Device API commands of traxnt: one handler per device API function on the current path
// of the console owner.
#include <cstdio>

#include "cmd_util.h"
#include "commands.h"
#include "core.h"
#include "input.h"
#include "trax_api.h"
#include "usr_oss.h"
#include "usr_utl.h"

namespace {

constexpr int kErrTextSize = 512;
// Text buffer of M_errstringTs, one for the whole program as the shell is single-user.
char G_ErrStrBuf[kErrTextSize];

constexpr char kCodeRanges[] = "Code Ranges: destination | standard code  | block code     \n"
                               "             ------------+----------------+----------------\n"
                               "             MK          | 0x1000..0x10ff | 0x2000..0x20ff \n"
                               "             LL common   | 0x1100..0x11ff | 0x2100..0x21ff \n"
                               "             LL device   | 0x1200..0x12ff | 0x2200..0x22ff \n"
                               "             BBIS common | 0x1300..0x13ff | 0x2300..0x23ff \n"
                               "             BBIS board  | 0x1400..0x14ff | 0x2400..0x24ff \n"
                               "\n";

/// Dumps the first size bytes of the block buffer in the current unit size.
void DumpBlockBuffer(const char *title, int32_t size) {
    UTL_Memdump(title, reinterpret_cast<const char *>(G_Buf), static_cast<uint32_t>(size),
                G_BufAlgn);
}

/// The size to dump after a call that may report a size of its own: never below 0 and
/// never more than was requested, so that the dump stays inside the block buffer.
int32_t ClampReportedSize(int32_t reported, int32_t requested) {
    if (reported < 0)
        return 0;
    return reported > requested ? requested : reported;
}

/// Asks for a count of buffer units until it fits the buffer; false when the answer is not
/// a number (the command is abandoned). The size in bytes goes to *bytes.
bool ReadBlockSize(const char *promptFormat, int32_t *bytes) {
    const BufUnitDesc &unit = CurrentUnit();
    const int32_t maxCount = unit.maxIndex + 1;
    for (;;) {
        std::printf(promptFormat, unit.unitName, maxCount);
        int32_t count = 0;
        const bool isNumber = ReadDec(&count);
        DiscardPendingInput();
        if (!isNumber)
            return false;
        if (count >= 0 && count <= maxCount) {
            *bytes = count * G_BufAlgn;
            return true;
        }
    }
}

/// The texts and library calls that tell M_getstat's command from M_setstat's.
struct StatCommand {
    const char *header;
    const char *codePrompt;
    const char *valuePrompt;
    const char *countPrompt;
    const char *titleBefore;
    const char *titleAfter;
    int32_t (*standardCall)(int32_t path, int32_t code, int32_t *value);
    int32_t (*blockCall)(int32_t path, int32_t code, M_SG_BLOCK *block);
};

int32_t GetStatValue(int32_t path, int32_t code, int32_t *value) {
    return M_getstat(path, code, value);
}

int32_t SetStatValue(int32_t path, int32_t code, int32_t *value) {
    return M_setstat(path, code, static_cast<intptr_t>(*value));
}

int32_t GetStatBlock(int32_t path, int32_t code, M_SG_BLOCK *block) {
    // For a block code the library takes the record's address in place of the value's.
    return M_getstat(path, code, reinterpret_cast<int32_t *>(block));
}

int32_t SetStatBlock(int32_t path, int32_t code, M_SG_BLOCK *block) {
    return M_setstat(path, code, reinterpret_cast<intptr_t>(block));
}

const StatCommand kGetStat = {
    "Call M_getstat: Get status from device\n\n",
    " getstat code -> 0x",
    " Normal GetStat - input value  -> 0x",
    " Block GetStat - %ss to get (max %d) -> ",
    "Block buffer - before M_getstat",
    "Block buffer - after M_getstat",
    GetStatValue,
    GetStatBlock,
};

const StatCommand kSetStat = {
    "Call M_setstat: Set status for device\n\n",
    " setstat code -> 0x",
    " Normal SetStat - input value  -> 0x",
    " Block SetStat - %ss to set (max %d) -> ",
    "Block buffer - before M_setstat",
    "Block buffer - after M_setstat",
    SetStatValue,
    SetStatBlock,
};

int32_t RunStandardStat(const StatCommand &cmd, int32_t code) {
    std::fputs(cmd.valuePrompt, stdout);
    uint32_t value = 0;
    if (!ReadHex(&value))
        return -1;
    int32_t data = static_cast<int32_t>(value);
    if (cmd.standardCall(CurrentPath(), code, &data) < 0)
        return MapiErr();
    std::printf(" output value = 0x%x\n", static_cast<unsigned>(data));
    return 0;
}

int32_t RunBlockStat(const StatCommand &cmd, int32_t code) {
    int32_t size = 0;
    if (!ReadBlockSize(cmd.countPrompt, &size))
        return -1;
    M_SG_BLOCK block = {size, G_Buf};
    DumpBlockBuffer(cmd.titleBefore, size);
    if (cmd.blockCall(CurrentPath(), code, &block) < 0)
        return MapiErr();
    // The library may report fewer bytes delivered; the data area is always G_Buf.
    DumpBlockBuffer(cmd.titleAfter, ClampReportedSize(block.size, size));
    return 0;
}

int32_t RunStatCommand(const StatCommand &cmd) {
    std::fputs(cmd.header, stdout);
    std::fputs(kCodeRanges, stdout);
    std::fputs(cmd.codePrompt, stdout);
    uint32_t code = 0;
    if (!ReadHex(&code))
        return -1;
    if (code & M_BLK_BIT)
        return RunBlockStat(cmd, static_cast<int32_t>(code));
    return RunStandardStat(cmd, static_cast<int32_t>(code));
}

/// The texts and library call that tell M_getblock's command from M_setblock's.
struct BlockCommand {
    const char *header;
    const char *countPrompt;
    const char *titleBefore;
    const char *titleAfter;
    int32_t (*call)(int32_t path, uint8_t *buffer, int32_t length);
};

int32_t SetBlock(int32_t path, uint8_t *buffer, int32_t length) {
    return M_setblock(path, buffer, length);
}

const BlockCommand kGetBlock = {
    "Call M_getblock: Get block from device\n",
    " %ss to read (max %d) -> ",
    "Block buffer - before M_getblock",
    "Block buffer - after M_getblock",
    M_getblock,
};

const BlockCommand kSetBlock = {
    "Call M_setblock: Set block to device\n",
    " %ss to write (max %d) -> ",
    "Block buffer - before M_setblock",
    "Block buffer - after M_setblock",
    SetBlock,
};

int32_t RunBlockCommand(const BlockCommand &cmd) {
    std::fputs(cmd.header, stdout);
    int32_t size = 0;
    if (!ReadBlockSize(cmd.countPrompt, &size))
        return -1;
    DumpBlockBuffer(cmd.titleBefore, size);
    if (cmd.call(CurrentPath(), G_Buf, size) < 0)
        return MapiErr();
    DumpBlockBuffer(cmd.titleAfter, size);
    return 0;
}

/// Reads an error code in hexadecimal after the command's header; false when abandoned.
bool ReadErrorCode(const char *header, int32_t *code) {
    std::fputs(header, stdout);
    std::fputs(" error code -> 0x", stdout);
    uint32_t value = 0;
    if (!ReadHex(&value))
        return false;
    *code = static_cast<int32_t>(value);
    return true;
}

} // namespace

int32_t T_M_open() {
    std::fputs("Call M_open: Open device\n", stdout);
    PathNode *entry = GetFreePathNode();
    if (entry == nullptr)
        return -1;
    std::printf(" Note: The current thread has %d path(s) already opened.\n"
                "       Use -ps to switch between all opened paths.\n",
                G_CurrThrP->pathCount);
    std::fputs(" device name -> ", stdout);
    char name[kDevNameSize];
    if (!ReadToken(name, sizeof name)) {
        std::printf(" \a*** device name too long: %s... (at most %d characters)\n", name,
                    kDevNameSize - 1);
        return -1;
    }
    const int32_t path = M_open(name);
    std::printf(" status = 0x%x\n", static_cast<unsigned>(path));
    if (path < 0)
        return MapiErr();
    ++G_CurrThrP->pathCount;
    entry->path = path;
    std::snprintf(entry->devName, sizeof entry->devName, "%s", name);
    G_CurrThrP->currPath = entry;
    return 0;
}

int32_t T_M_close() {
    std::fputs("Call M_close: Close device\n", stdout);
    PathNode &entry = *G_CurrThrP->currPath;
    if (M_close(entry.path) < 0)
        return MapiErr();
    --G_CurrThrP->pathCount;
    entry.path = -1;
    std::snprintf(entry.devName, sizeof entry.devName, "%s", "<none>");
    return 0;
}

int32_t T_M_getstat() {
    return RunStatCommand(kGetStat);
}

int32_t T_M_setstat() {
    return RunStatCommand(kSetStat);
}

int32_t T_M_read() {
    std::fputs("Call M_read: Read from device\n", stdout);
    int32_t value = 0;
    if (M_read(CurrentPath(), &value) < 0)
        return MapiErr();
    std::printf(" read value=0x%x\n", static_cast<unsigned>(value));
    return 0;
}

int32_t T_M_write() {
    std::fputs("Call M_write: Write to device\n", stdout);
    std::fputs(" value to write -> 0x", stdout);
    uint32_t value = 0;
    if (!ReadHex(&value))
        return -1;
    if (M_write(CurrentPath(), static_cast<int32_t>(value)) < 0)
        return MapiErr();
    return 0;
}

int32_t T_M_getblock() {
    return RunBlockCommand(kGetBlock);
}

int32_t T_M_setblock() {
    return RunBlockCommand(kSetBlock);
}

int32_t T_M_errstring() {
    int32_t code = 0;
    if (!ReadErrorCode("Call M_errstring: Get error string\n", &code))
        return -1;
    std::printf("%s\n", M_errstring(code));
    return 0;
}

int32_t T_M_errstringTs() {
    int32_t code = 0;
    if (!ReadErrorCode("Call M_errstringTs: Get error string\n", &code))
        return -1;
    std::printf("%s\n", M_errstringTs(code, G_ErrStrBuf));
    return 0;
}
