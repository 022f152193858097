// The replaceable table of system calls used by the signal machinery.
#include "oss_internal.h"

namespace trax::oss {

namespace {
SysCalls g_sys{CreateEventA, CreateThread};
} // namespace

SysCalls &sys() {
    return g_sys;
}

void reset_sys() {
    g_sys = SysCalls{CreateEventA, CreateThread};
}

} // namespace trax::oss
