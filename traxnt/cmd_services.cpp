// Block-buffer and debug-level commands of traxnt: regroup, show, set and fill the shared
// block buffer, and get or set the debug levels of the framework's layers.
#include <cstdio>
#include <cstring>

#include "cmd_util.h"
#include "commands.h"
#include "input.h"
#include "shell.h"
#include "usr_oss.h"
#include "usr_utl.h"

namespace {

constexpr size_t kHexTokenSize = 20; // 19 characters and the terminating zero

constexpr size_t kPromptSize = 64;

/// Reads a hexadecimal value token for one element of the current unit size, printing
/// prompt before each try. A token longer than two digits per byte is asked for again; a
/// token that is not a hexadecimal number abandons the command (false).
bool ReadUnitValue(const char *prompt, uint32_t *value) {
    const size_t maxDigits = 2u * G_BufAlgn;
    for (;;) {
        fputs(prompt, stdout);
        char token[kHexTokenSize];
        if (!ReadToken(token, sizeof token) || strlen(token) > maxDigits)
            continue;
        if (!IsHexNumber(token)) {
            PrintInvalidNumber("hexadecimal", token, false);
            return false;
        }
        *value = UTL_Atox(token);
        return true;
    }
}

/// Prints the range prompt (a format with the unit name and the highest index of the
/// current unit size) and reads range tokens until one is valid.
ElemRange ReadRange(const char *promptFormat, RangeStyle style) {
    const BufUnitDesc &unit = CurrentUnit();
    for (;;) {
        printf(promptFormat, unit.unitName, unit.maxIndex);
        char token[kRangeTokenSize];
        ElemRange range{};
        if (ReadToken(token, sizeof token) && ParseRangeToken(token, style, unit.maxIndex, &range))
            return range;
    }
}

/// Stores the lowest unit-size bytes of value in element index, least significant first.
void StoreElement(int32_t index, uint32_t value) {
    uint8_t *element = G_Buf + static_cast<size_t>(index) * G_BufAlgn;
    for (unsigned byte = 0; byte < G_BufAlgn; ++byte)
        element[byte] = static_cast<uint8_t>(value >> (8 * byte));
}

/// A debug-level target: its name and the status code through which its level is read and
/// written on the current path (0 for the OS-services library's own variable).
struct DebugTarget {
    const char *name;
    int32_t code;
};

constexpr DebugTarget kDebugTargets[] = {
    {"mapi", M_MK_API_DEBUG_LEVEL},  {"bbis", M_BB_DEBUG_LEVEL},
    {"bufrd", M_BUF_RD_DEBUG_LEVEL}, {"bufwr", M_BUF_WR_DEBUG_LEVEL},
    {"ll", M_LL_DEBUG_LEVEL},        {"mk", M_MK_DEBUG_LEVEL},
    {"oss", M_MK_OSS_DEBUG_LEVEL},   {"uos", 0},
};

constexpr size_t kDebugWordSize = 12; // 11 characters and the terminating zero

/// Finds the target of a "g<name>" or "s<name>" word; null for any other word.
const DebugTarget *ParseDebugWord(const char *word, bool *set) {
    if (word[0] != 'g' && word[0] != 's')
        return nullptr;
    *set = word[0] == 's';
    for (const DebugTarget &target : kDebugTargets)
        if (strcmp(word + 1, target.name) == 0)
            return &target;
    return nullptr;
}

/// Reads words until one names a valid get or set; invalid words are skipped silently.
const DebugTarget *ReadDebugWord(bool *set) {
    for (;;) {
        char word[kDebugWordSize];
        if (!ReadToken(word, sizeof word))
            continue;
        if (const DebugTarget *target = ParseDebugWord(word, set))
            return target;
    }
}

void PrintDebugLegend() {
    printf(" debug level:  \t        \n"
           " ------------              \n"
           " DBG_LEV1    :   0x0...0..1\n"
           " DBG_LEV2    :   0x0...0..2\n"
           " DBG_LEV3    :   0x0...0..4\n"
           " DBG_LEVERR  :   0x0...8..0\n"
           " DBG_NORM    :   0x4...0..0\n"
           " DBG_INTR    :   0x8...0..0\n"
           " --------------------------\n");
}

bool IsOssTarget(const DebugTarget &target) {
    return target.code == 0;
}

int32_t GetDebugLevel(const DebugTarget &target) {
    int32_t level = 0;
    if (IsOssTarget(target))
        level = static_cast<int32_t>(G_UOS_DbgLev);
    else if (!QueryValue(target.code, &level))
        return MapiErr();
    printf(" got debug level=0x%08x\n", static_cast<unsigned>(level));
    return 0;
}

int32_t SetDebugLevel(const DebugTarget &target) {
    printf(" level to set -> 0x");
    uint32_t level = 0;
    if (!ReadHex(&level))
        return -1;
    if (IsOssTarget(target))
        G_UOS_DbgLev = level;
    else if (M_setstat(CurrentPath(), target.code, static_cast<intptr_t>(level)) < 0)
        return MapiErr();
    return 0;
}

} // namespace

int32_t ServDbgLevel() {
    printf("Get/set debug levels\n"
           " SYNTAX: [s:set][g:get] mapi, bbis, bufrd, bufwr, ll, mk, oss, uos\n"
           " (e.g. smapi to set mapi) -> ");
    bool set = false;
    const DebugTarget *target = ReadDebugWord(&set);
    PrintDebugLegend();
    return set ? SetDebugLevel(*target) : GetDebugLevel(*target);
}

int32_t ServSetBlkBufAlgn() {
    printf("Set block buffer alignment\n");
    for (;;) {
        printf(" buffer alignment (1,2,4 bytes) -> ");
        int32_t unitSize = 0;
        if (!ReadDec(&unitSize))
            return -1;
        if (unitSize == 1 || unitSize == 2 || unitSize == 4) {
            G_BufAlgn = static_cast<uint8_t>(unitSize);
            return 0;
        }
    }
}

int32_t ServShowBlkBuf() {
    printf("Show block buffer\n");
    const ElemRange range = ReadRange(
        " %ss to show ('x' or 'x-y' [x,y=0..%d] - or '*' for all) -> ", RangeStyle::SingleOrAll);
    const size_t offset = static_cast<size_t>(range.first) * G_BufAlgn;
    const uint32_t length = static_cast<uint32_t>(range.last - range.first + 1) * G_BufAlgn;
    UTL_Memdump("Block buffer", reinterpret_cast<const char *>(G_Buf + offset), length, G_BufAlgn);
    return 0;
}

int32_t ServSetBlkBuf() {
    printf("Set block buffer values\n");
    const ElemRange range =
        ReadRange(" %ss to fill ('x' or 'x-y' [x,y=0..%d]) -> ", RangeStyle::Single);
    const char *unitName = CurrentUnit().unitName;
    for (int32_t index = range.first; index <= range.last; ++index) {
        char prompt[kPromptSize];
        snprintf(prompt, sizeof prompt, " %s[%d] -> 0x", unitName, index);
        uint32_t value = 0;
        if (!ReadUnitValue(prompt, &value))
            return -1;
        StoreElement(index, value);
    }
    return 0;
}

int32_t ServFillBlkBuf() {
    printf("Fill block buffer with one value\n");
    const ElemRange range =
        ReadRange(" %ss to fill ('x-y' [x,y=0..%d] - or '*' for all) -> ", RangeStyle::SpanOrAll);
    char prompt[kPromptSize];
    snprintf(prompt, sizeof prompt, " %s for filling -> 0x", CurrentUnit().unitName);
    uint32_t value = 0;
    if (!ReadUnitValue(prompt, &value))
        return -1;
    for (int32_t index = range.first; index <= range.last; ++index)
        StoreElement(index, value);
    return 0;
}
