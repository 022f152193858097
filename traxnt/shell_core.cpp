/* The shared state of traxnt and its command loop: prompt, command word, dispatch. */
#include <cstdio>
#include <cstring>

#include "commands.h"
#include "core.h"
#include "input.h"

ThreadNode G_ThrList[kMaxThreads];
ThreadNode *G_CurrThrP = nullptr;
int32_t G_ThrCount = 0;
HANDLE G_ThrSerSem = nullptr;

uint8_t G_Buf[kBufSize];
uint8_t G_BufAlgn = 1;
const BufUnitDesc G_BufDesc[5] = {
    {"-", 0}, {"byte", kBufSize - 1},      {"word", kBufSize / 2 - 1},
    {"-", 0}, {"dword", kBufSize / 4 - 1},
};

namespace {

// A command word has at most 11 characters; a longer token is one unknown word.
constexpr size_t kCommandWordSize = 12;
constexpr char kFreeDevName[] = "<none>";

void InitThreadNode(ThreadNode &node, int32_t index) {
    node.number = index + 1;
    node.inUse = 0;
    node.hThread = nullptr;
    node.threadId = 0;
    node.pathCount = 0;
    for (PathNode &entry : node.paths) {
        entry.path = -1;
        std::snprintf(entry.devName, sizeof entry.devName, "%s", kFreeDevName);
    }
    node.currPath = &node.paths[0];
}

void PrintPrompt() {
    const ThreadNode &thread = *G_CurrThrP;
    const PathNode &current = *thread.currPath;
    const char *label = thread.number == 1 ? "MAIN " : "";
    const unsigned tid = static_cast<unsigned>(thread.threadId);
    // The path shows as "-" while the entry is free, else in hexadecimal.
    if (current.path == -1)
        std::printf("\nThr:%d/%d (%stid:0x%x) / Dev:%s (path:-) ==> cmd: -", thread.number,
                    G_ThrCount, label, tid, current.devName);
    else
        std::printf("\nThr:%d/%d (%stid:0x%x) / Dev:%s (path:0x%x) ==> cmd: -", thread.number,
                    G_ThrCount, label, tid, current.devName, static_cast<unsigned>(current.path));
}

/** Runs the handler of every table entry named word (the scan does not stop at a match);
 *  false when no entry matched. */
bool RunCommandWord(const char *word) {
    bool matched = false;
    for (const CommandEntry &entry : commands) {
        // The first characters are compared inline: most entries differ there, and the
        // whole table is scanned for every word.
        if (entry.name[0] != word[0] || std::strcmp(entry.name, word) != 0)
            continue;
        matched = true;
        if (CurrentPath() == -1)
            std::fputs("WARNING: No open device-path!\n", stdout);
        entry.handler();
    }
    return matched;
}

} // namespace

void InitShellState() {
    for (int32_t i = 0; i < kMaxThreads; ++i)
        InitThreadNode(G_ThrList[i], i);
    G_ThrCount = 1;
    G_ThrList[0].inUse = 1;
    G_ThrList[0].threadId = GetCurrentThreadId();
    G_CurrThrP = &G_ThrList[0];
}

int32_t CommandLoop() {
    for (;;) {
        PrintPrompt();
        char word[kCommandWordSize];
        const bool fits = ReadToken(word, sizeof word);
        if (fits && std::strcmp(word, "e") == 0)
            return 0;
        if (!fits || !RunCommandWord(word))
            std::fputs("\a*** Unknown command\n", stdout);
    }
}

PathNode *GetFreePathNode() {
    for (PathNode &entry : G_CurrThrP->paths)
        if (entry.path == -1)
            return &entry;
    std::fputs(" \a*** no free node in path table\n", stdout);
    return nullptr;
}
