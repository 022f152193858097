// Path selection of traxnt: choosing the current path among the thread's open paths.
#include <cstdio>

#include "commands.h"
#include "core.h"
#include "input.h"

namespace {

/// Lists the taken entries of the thread's path table by slot; false if none is taken.
bool ListOpenPaths(const ThreadNode &thread) {
    bool any = false;
    for (int32_t slot = 1; slot <= kMaxPaths; ++slot) {
        const PathNode &entry = thread.paths[slot - 1];
        if (entry.path == -1)
            continue;
        if (!any)
            std::fputs(" # |   Device   | Path \n---+------------+------\n", stdout);
        any = true;
        std::printf("%2d | %10s | 0x%03x\n", slot, entry.devName,
                    static_cast<unsigned>(entry.path));
    }
    return any;
}

/// Asks until the answer names a taken slot; a non-number is just another wrong answer.
int32_t AskForTakenSlot(const ThreadNode &thread) {
    for (;;) {
        std::fputs(" which path ? -> #", stdout);
        int32_t slot = 0;
        const bool isNumber = TryReadDec(&slot);
        DiscardPendingInput();
        if (isNumber && slot >= 1 && slot <= kMaxPaths && thread.paths[slot - 1].path != -1)
            return slot;
    }
}

} // namespace

int32_t SelectPath() {
    std::fputs("Select opened path\n\n", stdout);
    ThreadNode &thread = *G_CurrThrP;
    if (!ListOpenPaths(thread)) {
        std::fputs(" sorry, no path opened\n", stdout);
        return -1;
    }
    std::fputs("\n", stdout);
    thread.currPath = &thread.paths[AskForTakenSlot(thread) - 1];
    return 0;
}
