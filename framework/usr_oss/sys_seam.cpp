/* The replaceable table of system calls used by the signal machinery. */
#include "oss_internal.h"

namespace trax::oss {

namespace {
SysCalls g_sys{CreateEventA, CreateThread};
} // namespace

SysCalls &Sys() {
    return g_sys;
}

void ResetSys() {
    g_sys = SysCalls{CreateEventA, CreateThread};
}

} // namespace trax::oss
