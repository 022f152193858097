// The signal functions of the C interface: argument checks, the current session, and
// the error convention (every failure returns its number and leaves it as last error).
#include <memory>
#include <mutex>

#include "oss_internal.h"
#include "signal_session.h"
#include "trax_entry_guard.h"
#include "trax_errors.h"
#include "usr_oss.h"

namespace trax::oss {

namespace {

std::mutex g_sessionLock;
std::shared_ptr<SignalSession> g_session;

/// The running session, or null before UOS_SigInit and after UOS_SigExit. Callers keep
/// the returned reference, so a concurrent UOS_SigExit cannot free it under them.
std::shared_ptr<SignalSession> current_session() {
    std::lock_guard<std::mutex> guard(g_sessionLock);
    return g_session;
}

bool is_signal_code(uint32_t code) {
    return code >= UOS_SIG_MIN && code <= UOS_SIG_MAX;
}

int32_t as_status(uint32_t err) {
    return err == 0 ? 0 : fail(err);
}

/// The error number of a signal request that threw: ERR_UOS_NO_MEM when memory ran out,
/// ERR_UOS otherwise.
uint32_t signal_fault(trax::EntryFault fault) {
    return fault == trax::EntryFault::NoMemory ? ERR_UOS_NO_MEM : ERR_UOS;
}

/// Starts a session unless one runs. Holding the lock across the start keeps two
/// concurrent UOS_SigInit calls from both succeeding.
uint32_t start_session(UOS_SIG_HANDLER handler) {
    std::lock_guard<std::mutex> guard(g_sessionLock);
    if (g_session)
        return ERR_UOS_ALREADY_INIT;
    auto session = std::make_shared<SignalSession>(handler);
    const uint32_t err = session->start();
    if (err == 0)
        g_session = std::move(session);
    return err;
}

/// Detaches the session first, so that a new UOS_SigInit may follow at once (even from
/// inside the callback), and then stops it; its queued signals are dropped with it.
uint32_t end_session() {
    std::shared_ptr<SignalSession> session;
    {
        std::lock_guard<std::mutex> guard(g_sessionLock);
        session.swap(g_session);
    }
    if (!session)
        return ERR_UOS_NOT_INIT;
    session->stop();
    return 0;
}

} // namespace

uint32_t signals_queued() {
    auto session = current_session();
    return session ? session->queued() : 0;
}

uint32_t signals_dropped() {
    auto session = current_session();
    return session ? session->dropped() : 0;
}

} // namespace trax::oss

using trax::oss::as_status;
using trax::oss::current_session;
using trax::oss::fail;
using trax::oss::is_signal_code;
using trax::oss::signal_fault;

// Every signal entry runs through the entry guard: an exception inside (no memory for a
// queue entry or an event, a thread that cannot be started or joined) becomes the
// entry's error number instead of crossing the C interface.

namespace {

/// Runs request(session) on the current session through the entry guard; fails with
/// ERR_UOS_NOT_INIT when there is none.
template <class Request> int32_t on_session(Request request) {
    auto session = current_session();
    if (!session)
        return fail(ERR_UOS_NOT_INIT);
    return as_status(trax::guardEntry([&] { return request(*session); }, signal_fault));
}

using trax::oss::SignalSession;

} // namespace

int32_t TRAX_CALL UOS_SigInit(UOS_SIG_HANDLER sigHandler) {
    return as_status(
        trax::guardEntry([&] { return trax::oss::start_session(sigHandler); }, signal_fault));
}

int32_t TRAX_CALL UOS_SigExit(void) {
    return as_status(trax::guardEntry([] { return trax::oss::end_session(); }, signal_fault));
}

int32_t TRAX_CALL UOS_SigInstall(uint32_t sigCode) {
    if (!is_signal_code(sigCode))
        return fail(ERR_UOS_ILL_SIG);
    return on_session([&](SignalSession &session) { return session.install(sigCode); });
}

int32_t TRAX_CALL UOS_SigRemove(uint32_t sigCode) {
    if (!is_signal_code(sigCode))
        return fail(ERR_UOS_ILL_SIG);
    return on_session([&](SignalSession &session) { return session.remove(sigCode); });
}

int32_t TRAX_CALL UOS_SigMask(void) {
    return on_session([](SignalSession &session) {
        session.mask();
        return 0u;
    });
}

int32_t TRAX_CALL UOS_SigUnMask(void) {
    return on_session([](SignalSession &session) {
        session.un_mask();
        return 0u;
    });
}

int32_t TRAX_CALL UOS_SigWait(uint32_t msec, uint32_t *sigCodeP) {
    if (sigCodeP == nullptr)
        return fail(ERR_UOS_ILL_PARAM);
    return on_session([&](SignalSession &session) { return session.wait(msec, sigCodeP); });
}
