// The command table: the words users type, in help order, each with a handler.
#include <cstring>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "commands.h"

namespace {

// The help text lists the commands in this order, and the table is scanned in it.
const char *const kHelpOrder[kCommandCount] = {
    "h",      "tc",     "ts",     "ps",     "mo",     "mc",    "mg",    "ms",   "mr",    "mw",
    "mgb",    "msb",    "merr",   "merrts", "si",     "se",    "sin",   "sre",  "sm",    "sum",
    "sw",     "uerr",   "uerrts", "errget", "errset", "rev",   "addr",  "irq",  "dev",   "brd",
    "path",   "misc",   "dsemw",  "dsemr",  "iod",    "lldrv", "devid", "bbis", "brdid", "dbg",
    "bbalgn", "bbshow", "bbset",  "bbfill", "pid",    "sev",
};

TEST(CommandTable, WordsAreInHelpOrder) {
    for (int i = 0; i < kCommandCount; ++i)
        EXPECT_STREQ(kHelpOrder[i], commands[i].name) << "entry " << i;
}

TEST(CommandTable, WordsAreUniqueAndFitTheCommandWord) {
    std::set<std::string> seen;
    for (const CommandEntry &entry : commands) {
        EXPECT_TRUE(seen.insert(entry.name).second) << "duplicate word " << entry.name;
        EXPECT_LE(std::strlen(entry.name), 11u) << entry.name;
        // "e" is tested by the loop before the table; a table entry "e" could never run.
        EXPECT_STRNE("e", entry.name);
    }
}

TEST(CommandTable, EveryWordHasItsOwnHandler) {
    std::set<CommandHandler> handlers;
    for (const CommandEntry &entry : commands) {
        EXPECT_NE(nullptr, entry.handler) << entry.name;
        EXPECT_TRUE(handlers.insert(entry.handler).second) << "handler shared by " << entry.name;
    }
}

} // namespace
