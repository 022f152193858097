// The start-up floor: a C++ program that links the C library only (no C++ library). It
// prints one line and waits for the end of its input, as traxnt waits at its first prompt.
#include <cstdio>

int main() {
    std::fputs("ready ==> cmd: -", stdout);
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    return 0;
}
