// Allocation failure on demand: a test binary that links failing_new.cpp replaces the global
// operator new, so that the n-th allocation of the calling thread from now on throws
// std::bad_alloc. Only the thread that arms it is affected.
#ifndef TRAX_TEST_FAILING_NEW_H
#define TRAX_TEST_FAILING_NEW_H

namespace failing_new {

/// Makes the allocation after the next n of this thread fail once (n = 0: the next one).
void FailAfter(long n);
/// Disarms a failure that has not happened yet.
void Disarm();
/// True once the armed failure has happened.
bool HasFailed();

/// Calls attempt() with the first, second, third ... allocation failing, until a run in
/// which no allocation failed; check(failed) runs after each attempt. Returns the number
/// of runs in which an allocation failed.
template <class Attempt, class Check> long SweepAllocations(Attempt attempt, Check check) {
    for (long n = 0;; ++n) {
        FailAfter(n);
        attempt();
        const bool failed = HasFailed();
        Disarm();
        check(failed);
        if (!failed)
            return n;
    }
}

} // namespace failing_new

#endif
