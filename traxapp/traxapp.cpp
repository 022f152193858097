// The example's sequence: open a path, read the channel count, dump the id-prom if the
// device has one, close the path. Everything goes to standard output.
#include "traxapp.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "trax_api.h"
#include "trax_errors.h"
#include "usr_oss.h"
#include "usr_utl.h"

namespace {

constexpr const char *kUsageLines[] = {
    "Syntax: traxapp <device>\n",
    "Function: Example application for TRAX4\n",
    "          The application uses the following VELK libraries:\n",
    "            - TRAX-API : User Interface Library for TRAX4 drivers\n",
    "            - USR-OSS  : Operating System Services for application programs\n",
    "            - USR-UTL  : Utility Functions for applications\n",
    "          The application performs the following steps\n",
    "            - open path to device\n",
    "            - get number of channels\n",
    "            - get id-prom data (if exist)\n",
    "            - close path to device\n",
    "Options:\n",
    "    device       device name\n",
    "\n",
};

/// Unit width of the id-prom dump: 16-bit words, the id-prom's natural unit.
constexpr uint32_t kIdPromDumpFormat = 2;

void PrintUsage() {
    for (const char *line : kUsageLines)
        std::fputs(line, stdout);
}

/// True when the user asks for the usage: no argument, or exactly "-?" (an argument that
/// only begins with it is a device name).
bool WantsUsage(int argc, char *argv[]) {
    return argc < 2 || std::strcmp(argv[1], "-?") == 0;
}

/// The number of bytes to dump: what the block call says it delivered, but never more
/// than the buffer holds and never negative, so that a misbehaving library cannot make the
/// dump read outside the buffer.
uint32_t DumpSize(int32_t delivered, int32_t bufferSize) {
    if (delivered < 0)
        return 0;
    return static_cast<uint32_t>(delivered < bufferSize ? delivered : bufferSize);
}

/// Reads the id-prom of idSize bytes and dumps it. On failure prints the error line for
/// the failed step and returns false.
bool DumpIdProm(int32_t path, int32_t idSize, TraxappAllocator allocate) {
    // A size of 0 still gets a real buffer, so that a null result always means failure.
    void *buffer =
        idSize >= 0 ? allocate(idSize > 0 ? static_cast<std::size_t>(idSize) : 1) : nullptr;
    if (buffer == nullptr) {
        UOS_ErrnoSet(ERR_MK_NO_MEM);
        PrintError("allocate id-prom buffer");
        return false;
    }
    M_SG_BLOCK block{idSize, buffer};
    const bool read = M_getstat(path, M_LL_BLK_ID_DATA, reinterpret_cast<int32_t *>(&block)) >= 0;
    if (read)
        UTL_Memdump("device id-prom data", static_cast<const char *>(block.data),
                    DumpSize(block.size, idSize), kIdPromDumpFormat);
    else
        PrintError("getstat M_LL_BLK_ID_DATA");
    std::free(buffer);
    return read;
}

/// Prints the channel count and the id-prom of the device on path. Returns false only
/// when reading an id-prom that the device has failed; a failing channel count or a device
/// without id-prom is reported and is not a failure of the program.
bool ReportDevice(int32_t path, TraxappAllocator allocate) {
    int32_t channels = 0;
    if (M_getstat(path, M_LL_CH_NUMBER, &channels) < 0) {
        PrintError("getstat M_LL_CH_NUMBER");
        return true;
    }
    std::printf("- number of channels = %d\n", channels);

    int32_t idSize = 0;
    if (M_getstat(path, M_LL_ID_SIZE, &idSize) < 0) {
        std::printf("- the device has no id-prom\n");
        return true;
    }
    return DumpIdProm(path, idSize, allocate);
}

/// Closes the path; the "closed" line follows also when the close failed.
void ClosePath(int32_t path, const char *device) {
    if (M_close(path) < 0)
        PrintError("close");
    std::printf("- path to %s closed\n", device);
}

} // namespace

void PrintError(const char *step) {
    std::printf("*** can't %s: %s\n", step, M_errstring(static_cast<int32_t>(UOS_ErrnoGet())));
}

int TraxappMain(int argc, char *argv[], TraxappAllocator allocate) {
    if (WantsUsage(argc, argv)) {
        PrintUsage();
        return 1;
    }
    const char *device = argv[1];
    const int32_t path = M_open(device);
    if (path < 0) {
        PrintError("open");
        return 1;
    }
    std::printf("- path to %s opened\n", device);
    const bool reported = ReportDevice(path, allocate);
    ClosePath(path, device);
    return reported ? 0 : 1;
}
