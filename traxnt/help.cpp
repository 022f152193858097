// Banner and help text of traxnt.
#include <cstdio>
#include <string_view>

#include "commands.h"
#include "core.h"

// Begins with a blank, the revision number, a blank and the date; the banner shows the
// first 16 characters.
const char kRevision[] = " 1.7 2004/03/08 traxnt shell core";

namespace {

constexpr int kBannerWidth = 64;
constexpr std::string_view kTitle = " traxnt : Test and Configuration Utility for TRAX/NT";
constexpr std::string_view kMakerNotice = " Copyright (c) the TRAX suite team";

// Line 4 is the notice, ", V", 16 characters of the revision and 11 blanks: exactly the
// banner's width.
static_assert(kMakerNotice.size() + 3 + 16 + 11 == kBannerWidth);
static_assert(kTitle.size() <= kBannerWidth);

constexpr char kHelpText[] = "Commands\n"
                             "========\n"
                             "\t-h      : HELP                 -e      : EXIT thread/proc \n"
                             "\t-tc     : Create thread        -ts     : Suspend thread   \n"
                             "\t-ps     : Select path                                     \n"
                             "_____TRAX-API_____\n"
                             "\t-mo     : M_open               -mc     : M_close\t        \n"
                             "\t-mg     : M_getstat blk:(*)    -ms     : M_setstat blk:(*)\n"
                             "\t-mr     : M_read               -mw     : M_write          \n"
                             "\t-mgb    : M_getblock (*)       -msb    : M_setblock (*)   \n"
                             "\t-merr   : M_errstring          -merrts : M_errstringTs    \n"
                             "\t(*) uses blk-buffer\n"
                             "_____USR_OSS_____\n"
                             "\t-si     : UOS_SigInit          -se     : UOS_SigExit      \n"
                             "\t-sin    : UOS_SigInstall       -sre    : UOS_SigRemove    \n"
                             "\t-sm     : UOS_SigMask          -sum    : UOS_SigUnMask    \n"
                             "\t-sw     : UOS_SigWait\n"
                             "\t-uerr   : UOS_ErrString        -uerrts : UOS_ErrStringTs  \n"
                             "\t-errget : UOS_ErrnoGet         -errset : UOS_ErrnoSet     \n"
                             "_____MK_____\n"
                             "\t-rev    : get rev strings                                 \n"
                             "\t-addr   : get address info     -irq    : get irq info     \n"
                             "\t-dev    : get device info      -brd    : get board info   \n"
                             "\t-path   : get path info        -misc   : get misc info    \n"
                             "\t-dsemw  : wait for dev-sem     -dsemr  : release dev-sem  \n"
                             "\t-iod    : IOCTL for delay                                 \n"
                             "_____LL-DRV_____\n"
                             "\t-lldrv  : ll-drv info          -devid  : device id-prom   \n"
                             "_____BBIS_____\n"
                             "\t-bbis   : bbis info            -brdid  : board id-prom    \n"
                             "_____SERVICES_____\n"
                             "\t-dbg    : set/get debug level                             \n"
                             "\t-bbalgn : align blk-buf        -bbshow : show blk-buffer  \n"
                             "\t-bbset  : set blk-buffer       -bbfill : fill blk-buffer  \n"
                             "_____NT_____\n"
                             "\t-pid    : get process id       -sev    : set event        \n"
                             "\n";

void PrintRule() {
    for (int i = 0; i < kBannerWidth; ++i)
        std::putchar('=');
    std::putchar('\n');
}

} // namespace

void PrintBanner() {
    PrintRule();
    std::printf("%-*.*s\n", kBannerWidth, static_cast<int>(kTitle.size()), kTitle.data());
    std::printf("%*s\n", kBannerWidth, "");
    std::printf("%.*s, V%.16s%11s\n", static_cast<int>(kMakerNotice.size()), kMakerNotice.data(),
                kRevision, "");
    PrintRule();
    std::putchar('\n');
}

int32_t CommandHelp() {
    std::fputs(kHelpText, stdout);
    return 1;
}
