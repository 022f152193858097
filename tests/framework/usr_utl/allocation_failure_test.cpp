// Running out of memory in the memory dump: the dump ends with a line that says so and
// throws nothing at its C caller.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "failing_new.h"
#include "usr_utl.h"

namespace {

const std::string kNoMemoryLine = " *** dump ended: out of memory\n";

// Standard output of the dumps goes to a temporary file; redirecting and reading it back
// happen outside the armed allocations.
class DumpOutput {
  public:
    DumpOutput() : file_(std::tmpfile()) {}
    ~DumpOutput() { std::fclose(file_); }

    void dump(const char *data, uint32_t size) {
        std::fflush(stdout);
        const int saved = dup(STDOUT_FILENO);
        dup2(fileno(file_), STDOUT_FILENO);
        UTL_Memdump("Dump", data, size, 2);
        std::fflush(stdout);
        dup2(saved, STDOUT_FILENO);
        close(saved);
    }

    // The text written since the last take.
    std::string take() {
        std::string text;
        std::rewind(file_);
        for (int c = std::fgetc(file_); c != EOF; c = std::fgetc(file_))
            text += static_cast<char>(c);
        std::rewind(file_);
        EXPECT_EQ(ftruncate(fileno(file_), 0), 0);
        return text;
    }

  private:
    std::FILE *file_;
};

TEST(AllocationFailure, MemdumpEndsWithALineSayingSo) {
    const char data[40] = "0123456789abcdefghijklmnopqrstuvwxyzABC";
    DumpOutput output;
    std::vector<std::string> cut;
    std::string whole;
    const long failures = failing_new::SweepAllocations(
        [&] { output.dump(data, sizeof data); },
        [&](bool failed) { (failed ? cut.emplace_back() : whole) = output.take(); });
    ASSERT_GT(failures, 0);
    // Every cut dump is a run of whole lines of the complete one, then the line that ends it.
    for (const std::string &text : cut) {
        ASSERT_GE(text.size(), kNoMemoryLine.size());
        const size_t shown = text.size() - kNoMemoryLine.size();
        EXPECT_EQ(text.substr(shown), kNoMemoryLine);
        EXPECT_EQ(text.substr(0, shown), whole.substr(0, shown));
        EXPECT_TRUE(shown == 0 || text[shown - 1] == '\n') << text;
    }
    EXPECT_EQ(whole.find("***"), std::string::npos) << whole;
}

} // namespace
