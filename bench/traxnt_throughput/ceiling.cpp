// The ceiling for the traxnt throughput figure: the least a shell can do for the same
// session. It reads the same command words and values with plain formatted reads, makes
// the same library calls and prints much the same lines (a plain dump for blocks), with no
// thread table, no command table scan and no input checks.
#include <cstdio>
#include <cstring>

#include "trax_api.h"
#include "trax_win32.h"

namespace {

const char kCodeRanges[] = "Code Ranges: destination | standard code  | block code     \n"
                           "             ------------+----------------+----------------\n"
                           "             MK          | 0x1000..0x10ff | 0x2000..0x20ff \n"
                           "             LL common   | 0x1100..0x11ff | 0x2100..0x21ff \n"
                           "             LL device   | 0x1200..0x12ff | 0x2200..0x22ff \n"
                           "             BBIS common | 0x1300..0x13ff | 0x2300..0x23ff \n"
                           "             BBIS board  | 0x1400..0x14ff | 0x2400..0x24ff \n"
                           "\n";

char devName[40] = "<none>";
int32_t path = -1;
uint8_t buffer[1024];

void PrintError() {
    std::printf(" \a%s\n", M_errstring(static_cast<int32_t>(GetLastError())));
}

/// A plain hexadecimal dump, 16 bytes a line.
void Dump(const char *title, int32_t size) {
    std::printf("%s (%d bytes)\n", title, size);
    for (int32_t i = 0; i < size; ++i)
        std::printf(i % 16 == 15 || i == size - 1 ? "%02x\n" : "%02x ", buffer[i]);
}

void Block(bool get) {
    std::fputs(get ? "Call M_getblock: Get block from device\n bytes to read (max 1024) -> "
                   : "Call M_setblock: Set block to device\n bytes to write (max 1024) -> ",
               stdout);
    int32_t size = 0;
    if (std::scanf("%d%*[^\n]", &size) != 1 || size < 0 || size > 1024)
        return;
    Dump("before", size);
    const int32_t done = get ? M_getblock(path, buffer, size) : M_setblock(path, buffer, size);
    if (done < 0)
        PrintError();
    else
        Dump("after", done);
}

void Stat(bool get) {
    std::fputs(get ? "Call M_getstat: Get status from device\n\n"
                   : "Call M_setstat: Set status for device\n\n",
               stdout);
    std::fputs(kCodeRanges, stdout);
    std::fputs(get ? " getstat code -> 0x" : " setstat code -> 0x", stdout);
    unsigned code = 0;
    unsigned value = 0;
    if (std::scanf("%x", &code) != 1)
        return;
    std::fputs(get ? " Normal GetStat - input value  -> 0x"
                   : " Normal SetStat - input value  -> 0x",
               stdout);
    if (std::scanf("%x", &value) != 1)
        return;
    int32_t data = static_cast<int32_t>(value);
    const int32_t result = get ? M_getstat(path, static_cast<int32_t>(code), &data)
                               : M_setstat(path, static_cast<int32_t>(code), data);
    if (result < 0)
        PrintError();
    else
        std::printf(" output value = 0x%x\n", static_cast<unsigned>(data));
}

void Dispatch(const char *word) {
    if (std::strcmp(word, "mo") == 0) {
        std::fputs("Call M_open: Open device\n device name -> ", stdout);
        if (std::scanf("%39s", devName) == 1)
            path = M_open(devName);
        std::printf(" status = 0x%x\n", static_cast<unsigned>(path));
    } else if (std::strcmp(word, "mr") == 0) {
        std::fputs("Call M_read: Read from device\n", stdout);
        int32_t value = 0;
        if (M_read(path, &value) == 0)
            std::printf(" read value=0x%x\n", static_cast<unsigned>(value));
    } else if (std::strcmp(word, "mw") == 0) {
        std::fputs("Call M_write: Write to device\n value to write -> 0x", stdout);
        unsigned value = 0;
        if (std::scanf("%x", &value) == 1)
            M_write(path, static_cast<int32_t>(value));
    } else if (std::strcmp(word, "mg") == 0 || std::strcmp(word, "ms") == 0) {
        Stat(word[1] == 'g');
    } else if (std::strcmp(word, "mgb") == 0 || std::strcmp(word, "msb") == 0) {
        Block(word[1] == 'g');
    }
}

} // namespace

int main() {
    char word[12];
    for (;;) {
        std::printf("\nThr:1/1 (MAIN tid:0x%x) / Dev:%s (path:0x%x) ==> cmd: -", 1u, devName,
                    static_cast<unsigned>(path));
        if (std::scanf("%11s", word) != 1 || std::strcmp(word, "e") == 0)
            return 0;
        Dispatch(word);
    }
}
