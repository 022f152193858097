// OS-services library velk_usr_oss: error numbers, signals, timers, delays, random numbers.
#ifndef USR_OSS_H
#define USR_OSS_H

#include <stdint.h>

#include "trax_export.h"

/// Predefined user signals; every signal code lies in UOS_SIG_MIN..UOS_SIG_MAX.
#define UOS_SIG_MIN 0x100u
#define UOS_SIG_MAX 0x1ffu
#define UOS_SIG_USR1 0x101u
#define UOS_SIG_USR2 0x102u

/// Signal callback: called once per arriving signal on a thread of the library.
typedef void(TRAX_CALL *UOS_SIG_HANDLER)(uint32_t sigCode);

#ifdef __cplusplus
extern "C" {
#endif
/// Debug level of this library; read and written directly by programs.
TRAX_EXPORT extern uint32_t G_UOS_DbgLev;
#ifdef __cplusplus
}
#endif

/// The calling thread's error number (the one a failed library call left).
TRAX_API uint32_t TRAX_CALL UOS_ErrnoGet(void);
/// Sets the calling thread's error number; returns it.
TRAX_API uint32_t TRAX_CALL UOS_ErrnoSet(uint32_t errCode);
/// Text for any error code; owned by the library.
TRAX_API char *TRAX_CALL UOS_ErrString(int32_t errCode);
/// Writes the text for errCode into strBuf (512 bytes) and returns strBuf.
TRAX_API char *TRAX_CALL UOS_ErrStringTs(int32_t errCode, char *strBuf);
/// Identification text of the library.
TRAX_API char *TRAX_CALL UOS_Ident(void);

/// Starts signal handling: with a callback, signals are delivered to it on a library
/// thread; with null, they queue for UOS_SigWait. 0 or an error code.
TRAX_API int32_t TRAX_CALL UOS_SigInit(UOS_SIG_HANDLER sigHandler);
/// Ends signal handling and removes every installed signal.
TRAX_API int32_t TRAX_CALL UOS_SigExit(void);
TRAX_API int32_t TRAX_CALL UOS_SigInstall(uint32_t sigCode);
TRAX_API int32_t TRAX_CALL UOS_SigRemove(uint32_t sigCode);
/// Holds back all signals until UOS_SigUnMask, which delivers them in order.
TRAX_API int32_t TRAX_CALL UOS_SigMask(void);
TRAX_API int32_t TRAX_CALL UOS_SigUnMask(void);
/// Waits up to msec ms (-1 or 0xffffffff: forever) for a queued signal; stores its code.
TRAX_API int32_t TRAX_CALL UOS_SigWait(uint32_t msec, uint32_t *sigCodeP);

TRAX_API uint32_t TRAX_CALL UOS_Random(uint32_t old);
TRAX_API uint32_t TRAX_CALL UOS_RandomMap(uint32_t val, uint32_t ra, uint32_t re);
TRAX_API uint32_t TRAX_CALL UOS_MsecTimerGet(void);
TRAX_API uint32_t TRAX_CALL UOS_MsecTimerResolution(void);
/// Sleeps msec milliseconds; returns the delay used.
TRAX_API int32_t TRAX_CALL UOS_Delay(int32_t msec);
TRAX_API int32_t TRAX_CALL UOS_MikroDelayInit(void);
/// Waits usec microseconds; 0 or an error code (negative as a signed value).
TRAX_API int32_t TRAX_CALL UOS_MikroDelay(uint32_t usec);

// Upper-case entry names for callers that bind by name at run time.
TRAX_API char *TRAX_CALL UOS_IDENT(void);
TRAX_API char *TRAX_CALL UOS_ERRSTRING(int32_t errCode);
TRAX_API uint32_t TRAX_CALL UOS_RANDOM(uint32_t old);
TRAX_API uint32_t TRAX_CALL UOS_RANDOM_MAP(uint32_t val, uint32_t ra, uint32_t re);
TRAX_API uint32_t TRAX_CALL UOS_MSEC_TIMER_GET(void);
TRAX_API uint32_t TRAX_CALL UOS_MSEC_TIMER_RESOLUTION(void);
TRAX_API int32_t TRAX_CALL UOS_DELAY(int32_t msec);
TRAX_API int32_t TRAX_CALL UOS_MIKRO_DELAY_INIT(void);
TRAX_API int32_t TRAX_CALL UOS_MIKRO_DELAY(uint32_t usec);
TRAX_API int32_t TRAX_CALL UOS_SIG_INIT(UOS_SIG_HANDLER sigHandler);
TRAX_API int32_t TRAX_CALL UOS_SIG_EXIT(void);
TRAX_API int32_t TRAX_CALL UOS_SIG_INSTALL(uint32_t sigCode);
TRAX_API int32_t TRAX_CALL UOS_SIG_REMOVE(uint32_t sigCode);
TRAX_API int32_t TRAX_CALL UOS_SIG_MASK(void);
TRAX_API int32_t TRAX_CALL UOS_SIG_UN_MASK(void);
TRAX_API int32_t TRAX_CALL UOS_SIG_WAIT(uint32_t msec, uint32_t *sigCodeP);

#endif
