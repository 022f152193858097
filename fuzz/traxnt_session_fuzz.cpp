// libFuzzer target: runs traxnt's command interpreter in this process on each input as one
// session typed on standard input, against the simulated framework. The corpus is the
// input part of every traxnt transcript under tests/traxnt/transcripts.
//
// Words whose commands start threads or wait without a bound (tc, sw, dsemw, iod) are
// taken out of the input, so that each session ends with its input. The revision and
// id-prom buffers are not allocated (TRAXNT_FAIL_ALLOC): their size is the user's, and a
// session must not make the fuzzer allocate gigabytes.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "core.h"
#include "input.h"
#include "shell.h"
#include "trax_api.h"
#include "usr_oss.h"

namespace {

struct SessionEnded {};

[[noreturn]] void EndSession() {
    throw SessionEnded{};
}

constexpr std::string_view kDroppedWords[] = {"tc", "sw", "dsemw", "iod"};
// Stays below a pipe's capacity, so that the whole session is written before it runs.
constexpr size_t kMaxSession = 60000;

bool IsBlank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

bool IsDropped(std::string_view token) {
    for (std::string_view word : kDroppedWords)
        if (token == word)
            return true;
    return false;
}

/// The input without the dropped words; blanks and line ends stay where they were.
std::string Playable(const uint8_t *data, size_t size) {
    std::string session;
    std::string token;
    for (size_t i = 0; i < size && i < kMaxSession; ++i) {
        const char c = static_cast<char>(data[i]);
        if (!IsBlank(c)) {
            token += c;
            continue;
        }
        if (!IsDropped(token))
            session += token;
        token.clear();
        session += c;
    }
    if (!IsDropped(token))
        session += token;
    return session;
}

/// Makes session the whole of standard input: a pipe that ends after it.
bool FeedStandardInput(const std::string &session) {
    int fds[2];
    if (pipe(fds) != 0)
        return false;
    const bool written =
        write(fds[1], session.data(), session.size()) == static_cast<ssize_t>(session.size());
    close(fds[1]);
    dup2(fds[0], STDIN_FILENO);
    close(fds[0]);
    return written;
}

/// Closes what a session left open, so that every session starts alike.
void EndLeftovers() {
    for (ThreadNode &node : G_ThrList)
        for (PathNode &entry : node.paths)
            if (entry.path != -1)
                M_close(entry.path);
    UOS_SigExit();
    G_BufAlgn = 1;
    std::memset(G_Buf, 0, sizeof G_Buf);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    setenv("TRAXNT_FAIL_ALLOC", "1", 1);
    if (std::freopen("/dev/null", "w", stdout) == nullptr)
        std::abort();
    G_ThrSerSem = CreateSemaphoreA(nullptr, 0, 1, nullptr);
    SetEndOfInputAction(EndSession);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (!FeedStandardInput(Playable(data, size)))
        return 0;
    InitShellState();
    try {
        CommandLoop();
    } catch (const SessionEnded &) {
    }
    EndLeftovers();
    return 0;
}
