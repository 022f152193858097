// Name of the named event through which a signal reaches a process:
// "<process id>SigEvt<signal code>", both numbers in lower-case hexadecimal without
// prefix or leading zeros, so that the process id reads as traxnt's `pid` shows it
// (process 0x4d2, signal 0x101: "4d2SigEvt101").
#ifndef TRAX_SIG_EVENT_NAME_H
#define TRAX_SIG_EVENT_NAME_H

#include <stdint.h>
#include <stdio.h>

/// Longest name: 8 + 6 + 8 digits and the terminating zero.
#define TRAX_SIG_EVENT_NAME_MAX 23

/// Writes the event name of signal sigCode for process pid into buf (at least
/// TRAX_SIG_EVENT_NAME_MAX bytes) and returns buf.
static inline char *trax_sig_event_name(uint32_t pid, uint32_t sigCode, char *buf) {
    snprintf(buf, TRAX_SIG_EVENT_NAME_MAX, "%xSigEvt%x", (unsigned)pid, (unsigned)sigCode);
    return buf;
}

#endif
