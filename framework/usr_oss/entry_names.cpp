// Upper-case entry names: the same functions for callers that bind by name at run time.
#include "usr_oss.h"

char *TRAX_CALL UOS_IDENT(void) {
    return UOS_Ident();
}

char *TRAX_CALL UOS_ERRSTRING(int32_t errCode) {
    return UOS_ErrString(errCode);
}

uint32_t TRAX_CALL UOS_RANDOM(uint32_t old) {
    return UOS_Random(old);
}

uint32_t TRAX_CALL UOS_RANDOM_MAP(uint32_t val, uint32_t ra, uint32_t re) {
    return UOS_RandomMap(val, ra, re);
}

uint32_t TRAX_CALL UOS_MSEC_TIMER_GET(void) {
    return UOS_MsecTimerGet();
}

uint32_t TRAX_CALL UOS_MSEC_TIMER_RESOLUTION(void) {
    return UOS_MsecTimerResolution();
}

int32_t TRAX_CALL UOS_DELAY(int32_t msec) {
    return UOS_Delay(msec);
}

int32_t TRAX_CALL UOS_MIKRO_DELAY_INIT(void) {
    return UOS_MikroDelayInit();
}

int32_t TRAX_CALL UOS_MIKRO_DELAY(uint32_t usec) {
    return UOS_MikroDelay(usec);
}

int32_t TRAX_CALL UOS_SIG_INIT(UOS_SIG_HANDLER sigHandler) {
    return UOS_SigInit(sigHandler);
}

int32_t TRAX_CALL UOS_SIG_EXIT(void) {
    return UOS_SigExit();
}

int32_t TRAX_CALL UOS_SIG_INSTALL(uint32_t sigCode) {
    return UOS_SigInstall(sigCode);
}

int32_t TRAX_CALL UOS_SIG_REMOVE(uint32_t sigCode) {
    return UOS_SigRemove(sigCode);
}

int32_t TRAX_CALL UOS_SIG_MASK(void) {
    return UOS_SigMask();
}

int32_t TRAX_CALL UOS_SIG_UN_MASK(void) {
    return UOS_SigUnMask();
}

int32_t TRAX_CALL UOS_SIG_WAIT(uint32_t msec, uint32_t *sigCodeP) {
    return UOS_SigWait(msec, sigCodeP);
}
