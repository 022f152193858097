// The replacement operator new of failing_new.h.
#include "failing_new.h"

#include <cstdlib>
#include <new>

namespace {

// Allocations left before the armed failure; -1 when none is armed.
thread_local long t_allocationsLeft = -1;
thread_local bool t_failed = false;

void *allocate(std::size_t size) {
    if (t_allocationsLeft == 0) {
        t_allocationsLeft = -1;
        t_failed = true;
        throw std::bad_alloc();
    }
    if (t_allocationsLeft > 0)
        --t_allocationsLeft;
    if (void *memory = std::malloc(size != 0 ? size : 1))
        return memory;
    throw std::bad_alloc();
}

} // namespace

namespace failing_new {

void FailAfter(long n) {
    t_failed = false;
    t_allocationsLeft = n;
}

void Disarm() {
    t_allocationsLeft = -1;
}

bool HasFailed() {
    return t_failed;
}

} // namespace failing_new

void *operator new(std::size_t size) {
    return allocate(size);
}

void *operator new[](std::size_t size) {
    return allocate(size);
}

// The non-throwing forms must be replaced too: otherwise they come from the runtime while
// the deletes below are ours, and the two would not match.
void *operator new(std::size_t size, const std::nothrow_t &) noexcept {
    try {
        return allocate(size);
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
}

void *operator new[](std::size_t size, const std::nothrow_t &tag) noexcept {
    return operator new(size, tag);
}

void operator delete(void *memory, const std::nothrow_t &) noexcept {
    std::free(memory);
}

void operator delete[](void *memory, const std::nothrow_t &) noexcept {
    std::free(memory);
}

void operator delete(void *memory) noexcept {
    std::free(memory);
}

void operator delete[](void *memory) noexcept {
    std::free(memory);
}

void operator delete(void *memory, std::size_t) noexcept {
    std::free(memory);
}

void operator delete[](void *memory, std::size_t) noexcept {
    std::free(memory);
}
