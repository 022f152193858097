// traxapp: example application for the TRAX libraries.
#include <cstdlib>

#include "traxapp.h"

int main(int argc, char *argv[]) {
    return TraxappMain(argc, argv, std::malloc);
}
