// The shared state of traxnt and its command loop: prompt, command word, dispatch.
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

/// The prompt line, put together in one buffer and written with one call: it is printed
/// before every command, and formatting it piece by piece through printf costs a good part
/// of a scripted session's time.
class PromptLine {
  public:
    void Text(const char *text) {
        while (*text != '\0' && length_ < sizeof text_)
            text_[length_++] = *text++;
    }
    void Number(uint32_t value, uint32_t base) {
        char digits[10];
        size_t count = 0;
        do {
            digits[count++] = "0123456789abcdef"[value % base];
            value /= base;
        } while (value != 0);
        while (count > 0 && length_ < sizeof text_)
            text_[length_++] = digits[--count];
    }
    void Write() const { std::fwrite(text_, 1, length_, stdout); }

  private:
    char text_[160]; // the longest prompt, with a 39-character device name, has 97
    size_t length_ = 0;
};

/// Prints "\nThr:%d/%d (%stid:0x%x) / Dev:%s (path:%s) ==> cmd: -"; the path shows as "-"
/// while the entry is free, else in hexadecimal after "0x".
void PrintPrompt() {
    const ThreadNode &thread = *G_CurrThrP;
    const PathNode &current = *thread.currPath;
    PromptLine line;
    line.Text("\nThr:");
    line.Number(static_cast<uint32_t>(thread.number), 10);
    line.Text("/");
    line.Number(static_cast<uint32_t>(G_ThrCount), 10);
    line.Text(thread.number == 1 ? " (MAIN tid:0x" : " (tid:0x");
    line.Number(static_cast<uint32_t>(thread.threadId), 16);
    line.Text(") / Dev:");
    line.Text(current.devName);
    if (current.path == -1) {
        line.Text(" (path:-)");
    } else {
        line.Text(" (path:0x");
        line.Number(static_cast<uint32_t>(current.path), 16);
        line.Text(")");
    }
    line.Text(" ==> cmd: -");
    line.Write();
}

/// Runs the handler of every table entry named word (the scan does not stop at a match);
/// false when no entry matched.
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
