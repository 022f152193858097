// Waiting on one object, sleeping, and the monotonic clock.
#include <sched.h>

#include "handles.h"

using namespace trax::platform;

DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD ms) {
    Held<KernelObject> object = findHandle(handle);
    if (!object)
        return WAIT_FAILED;
    return object->waitFor(Deadline::after(ms));
}

void WINAPI Sleep(DWORD ms) {
    if (ms == 0)
        sched_yield();
    else
        sleepUntil(Deadline::after(ms));
}

ULONGLONG WINAPI TraxMonotonicNanoseconds(void) {
    return monotonicNanoseconds();
}

void WINAPI TraxSleepUntil(ULONGLONG deadlineNs) {
    sleepUntilNanoseconds(deadlineNs);
}
