// A trivial C++ program for the start-up comparison: it prints one line and waits for the
// end of its input, as traxnt waits at its first prompt.
#include <iostream>
#include <string>

int main() {
    std::cout << "ready ==> cmd: -" << std::flush;
    std::string line;
    while (std::getline(std::cin, line)) {
    }
    return 0;
}
