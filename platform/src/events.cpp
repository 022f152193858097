// Event calls, unnamed events and the wait on several events.
//
// Every event offers a futex word that its sets advance: an unnamed one its own word in this
// process's memory, a named one the waiting thread's lane of the doorbell that this process
// shares with the senders of all its named events. A wait looks for the oldest pending wake-up
// among its events and, when there is none, sleeps on their distinct words at once, so that a wait
// on 64 named events costs about what a wait on one costs. An unnamed event holds one flag: an
// auto-reset wait takes it, which only one waiter can do; a manual-reset event stays set
// until ResetEvent.
#include "events.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <memory>
#include <new>

#include "event_wire.h"
#include "wait_core.h"

namespace trax::platform {
namespace {

class UnnamedEvent final : public EventObject {
  public:
    UnnamedEvent(bool manualReset, bool initialState) noexcept
        : manualReset_(manualReset), signalled_(initialState ? 1 : 0) {}

    BOOL set() override {
        signalled_.store(1);
        announceChange(channel_, false);
        return TRUE;
    }

    BOOL reset() override {
        signalled_.store(0);
        return TRUE;
    }

    EventChannel channel() override { return EventChannel{&channel_, false}; }

    std::optional<PendingWakeup> pending() override {
        if (signalled_.load() == 0)
            return std::nullopt;
        return PendingWakeup{0, 0};
    }

    bool take(const PendingWakeup &) override {
        return manualReset_ ? signalled_.load() != 0 : signalled_.exchange(0) != 0;
    }

  private:
    bool manualReset_;
    std::atomic<uint32_t> signalled_;
    WakeChannel channel_;
};

// A wait that includes an event which cannot receive yet (an opener) sleeps in slices of
// this length, so that it notices when the event can take over its name.
constexpr uint64_t kRetrySliceNs = 100000000;

// Looks that may follow each other before a wait settles on the oldest wake-up.
constexpr int kMostLooks = 16;

struct Pick {
    size_t index;
    PendingWakeup wakeup;
};

// The distinct futex words of a wait's events, read once per round of the wait: the named
// events of this process share the thread's lane of one doorbell, which counts once. Events that
// cannot receive yet (openers) have no word.
class WaitChannels {
  public:
    /// None yet; its arrays are left unset, so that making one costs nothing.
    WaitChannels() noexcept {}
    WaitChannels(EventObject *const *events, size_t count) { gather(events, count); }

    void gather(EventObject *const *events, size_t count) {
        size_ = 0;
        cannotReceive_ = false;
        for (size_t i = 0; i < count; ++i) {
            const EventChannel channel = events[i]->channel();
            flags_[i] = channel.pendingFlag;
            cannotReceive_ = cannotReceive_ || channel.channel == nullptr;
            if (channel.channel == nullptr ||
                std::find(channels_.begin(), channels_.begin() + size_, channel.channel) !=
                    channels_.begin() + size_)
                continue;
            shared_[size_] = channel.shared;
            channels_[size_++] = channel.channel;
        }
    }

    /// The sum of the words, which every completed set advances.
    uint32_t changeCount() const {
        uint32_t sum = 0;
        for (size_t i = 0; i < size_; ++i)
            sum += channels_[i]->changes.load();
        return sum;
    }

    size_t size() const { return size_; }
    WakeChannel &channel(size_t i) const { return *channels_[i]; }
    bool shared(size_t i) const { return shared_[i]; }
    bool cannotReceive() const { return cannotReceive_; }
    /// False when the event's flag says it holds no wake-up.
    bool mayHaveWakeup(size_t event) const {
        return flags_[event] == nullptr || flags_[event]->load() != 0;
    }

  private:
    std::array<const std::atomic<uint8_t> *, kMaxWaitObjects> flags_;
    std::array<WakeChannel *, kMaxWaitObjects> channels_;
    std::array<bool, kMaxWaitObjects> shared_;
    size_t size_ = 0;
    bool cannotReceive_ = false;
};

// The oldest pending wake-up among the events; of equal stamps the lowest index. Events
// whose flag says they hold nothing are passed over.
std::optional<Pick> oldestAmong(EventObject *const *events, size_t count,
                                const WaitChannels &channels) {
    std::optional<Pick> best;
    for (size_t i = 0; i < count; ++i) {
        if (!channels.mayHaveWakeup(i))
            continue;
        const std::optional<PendingWakeup> wakeup = events[i]->pending();
        if (wakeup && (!best || wakeup->stamp < best->wakeup.stamp))
            best = Pick{i, *wakeup};
    }
    return best;
}

// A look may pass an event just before a wake-up lands there and then find a later one of
// the same sender in another event. That sender completed the earlier set, advancing a word,
// before it began the later one; so a look during which no word moved has missed nothing
// older than what it found, and otherwise the wait looks again. This keeps each sender's
// wake-ups in the order it sent them. A single event has nothing to compare.
std::optional<Pick> settledOldest(EventObject *const *events, size_t count,
                                  const WaitChannels &channels) {
    if (count == 1)
        return oldestAmong(events, count, channels);
    std::optional<Pick> pick;
    for (int look = 0; look < kMostLooks; ++look) {
        const uint32_t before = channels.changeCount();
        pick = oldestAmong(events, count, channels);
        if (!pick || channels.changeCount() == before)
            break;
    }
    return pick;
}

// A waiter announced as a sleeper on the words of its events, from construction to
// destruction. A set after the announcement changes a word, so a look made after it and
// followed by a sleep misses nothing. Without a word for every event, the sleep ends after a
// slice to let the others try again.
class Sleeper {
  public:
    explicit Sleeper(const WaitChannels &channels) : channels_(channels) {
        for (size_t i = 0; i < channels.size(); ++i)
            words_[i] = SleepWord{&channels.channel(i).changes, beginSleep(channels.channel(i)),
                                  channels.shared(i)};
    }
    ~Sleeper() {
        for (size_t i = 0; i < channels_.size(); ++i)
            endSleep(channels_.channel(i));
    }
    Sleeper(const Sleeper &) = delete;
    Sleeper &operator=(const Sleeper &) = delete;

    /// Reads the words again before the next look, for another sleep after this one.
    void renew() {
        for (size_t i = 0; i < channels_.size(); ++i)
            words_[i].seen = renewSleep(channels_.channel(i));
    }

    /// Sleeps until a word changes or the deadline (0: none) passes.
    void sleep(uint64_t deadlineNs) const {
        if (channels_.cannotReceive()) {
            const uint64_t slice = monotonicNanoseconds() + kRetrySliceNs;
            deadlineNs = deadlineNs != 0 ? std::min(deadlineNs, slice) : slice;
        }
        if (channels_.size() > 0)
            sleepOnWords(words_.data(), channels_.size(), deadlineNs);
        else
            sleepUntilNanoseconds(deadlineNs);
    }

  private:
    const WaitChannels &channels_;
    std::array<SleepWord, kMaxWaitObjects> words_;
};

// Takes the oldest pending wake-up; WAIT_TIMEOUT when there is none, WAIT_FAILED when another
// waiter was faster.
DWORD takeOldest(EventObject *const *events, size_t count, const WaitChannels &channels) {
    const std::optional<Pick> pick = settledOldest(events, count, channels);
    if (!pick)
        return WAIT_TIMEOUT;
    if (!events[pick->index]->take(pick->wakeup))
        return WAIT_FAILED;
    return WAIT_OBJECT_0 + static_cast<DWORD>(pick->index);
}

// Watches the words for a moment before the wait sleeps (see watchBriefly), looking each time
// one moves, until a wake-up is taken (or another waiter was faster: WAIT_FAILED);
// WAIT_TIMEOUT when the moment is over. A set meanwhile is taken without a sleep, and its
// sender, which sees no sleeper, makes no system call.
DWORD spinUntilTaken(EventObject *const *events, size_t count, const WaitChannels &channels,
                     const Deadline &deadline) {
    DWORD result = WAIT_TIMEOUT;
    uint32_t seen = channels.changeCount();
    watchBriefly(deadline.isInfinite() ? 0 : deadline.nanoseconds(), [&] {
        const uint32_t now = channels.changeCount();
        if (now == seen)
            return false;
        seen = now;
        result = takeOldest(events, count, channels);
        return result != WAIT_TIMEOUT;
    });
    return result;
}

// Announced as a sleeper, looks and sleeps in turn until a wake-up is taken (or another
// waiter was faster: WAIT_FAILED) or the deadline has passed (WAIT_TIMEOUT). The words stay
// those of the first round, so a wait woken on many events looks again at once; only a wait
// that includes an event which cannot receive yet returns after each sleep (nullopt), to be
// prepared anew. A woken waiter looks once before it renews its words: the set that woke it
// is nearly always there, and senders meanwhile see that it has been rung already.
std::optional<DWORD> sleepUntilTaken(EventObject *const *events, size_t count,
                                     const WaitChannels &channels, const Deadline &deadline) {
    const uint64_t deadlineNs = deadline.isInfinite() ? 0 : deadline.nanoseconds();
    Sleeper sleeper(channels);
    DWORD result = takeOldest(events, count, channels);
    while (result == WAIT_TIMEOUT && !deadline.hasPassed()) {
        sleeper.sleep(deadlineNs);
        if (channels.cannotReceive())
            return std::nullopt;
        result = takeOldest(events, count, channels);
        if (result != WAIT_TIMEOUT)
            break;
        sleeper.renew();
        result = takeOldest(events, count, channels);
    }
    return result;
}

// The words of the calling thread's last wait that kept them. Only a set of events that can
// all receive is kept: each one's word and flag then stay the same for as long as the event
// lives, while an event that cannot receive yet must be prepared before every round.
thread_local std::unique_ptr<WaitChannels> keptChannels;

// Prepares the events and gathers their words, or takes those kept by the thread's last
// wait on them; `own` holds them when they are not kept.
const WaitChannels &gatherChannels(EventObject *const *events, size_t count, GatheredUse use,
                                   WaitChannels &own) {
    std::unique_ptr<WaitChannels> &kept = keptChannels;
    if (use == GatheredUse::reuse && kept && !kept->cannotReceive())
        return *kept;
    for (size_t i = 0; i < count; ++i)
        events[i]->prepareWait();
    if (use != GatheredUse::once && !kept)
        kept.reset(new (std::nothrow) WaitChannels);
    WaitChannels &into = use != GatheredUse::once && kept ? *kept : own;
    into.gather(events, count);
    return into;
}

} // namespace

DWORD EventObject::waitFor(const Deadline &deadline) {
    EventObject *self = this;
    return waitForAnyEvent(&self, 1, deadline);
}

// A wait first looks and watches its words for a moment without announcing itself: a
// receiver behind a stream of sets then takes each wake-up without making its senders call
// the kernel to wake it. Only then does it announce itself and look once more before it
// sleeps, so that no set is missed.
DWORD waitForAnyEvent(EventObject *const *events, size_t count, const Deadline &deadline,
                      GatheredUse use) {
    if (count > kMaxWaitObjects)
        return failWait(ERROR_INVALID_PARAMETER);
    WaitChannels own;
    for (;;) {
        const WaitChannels &channels = gatherChannels(events, count, use, own);
        use = use == GatheredUse::once ? use : GatheredUse::reuse;
        const bool passed = deadline.hasPassed();
        std::optional<DWORD> result = takeOldest(events, count, channels);
        if (result == WAIT_TIMEOUT && !passed)
            result = spinUntilTaken(events, count, channels, deadline);
        if (result == WAIT_TIMEOUT && !passed)
            result = sleepUntilTaken(events, count, channels, deadline);
        if (result && *result != WAIT_FAILED)
            return *result;
    }
}

std::shared_ptr<EventObject> createUnnamedEvent(bool manualReset, bool initialState) {
    return std::make_shared<UnnamedEvent>(manualReset, initialState);
}

} // namespace trax::platform

using namespace trax::platform;

HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState,
                           LPCSTR name) {
    if (name == nullptr || name[0] == '\0') {
        return trax::guardEntry(
            [&]() -> HANDLE {
                auto event = createUnnamedEvent(manualReset != FALSE, initialState != FALSE);
                HANDLE handle = event ? insertHandle(std::move(event)) : nullptr;
                if (handle != nullptr)
                    SetLastError(ERROR_SUCCESS);
                return handle;
            },
            handleOnFault);
    }
    if (std::string_view(name).size() > kMaxEventName)
        return failHandle(ERROR_FILENAME_EXCED_RANGE);
    // Named events are auto-reset only: each SetEvent queues one wake-up.
    if (manualReset)
        return failHandle(ERROR_NOT_SUPPORTED);
    return trax::guardEntry(
        [&]() -> HANDLE {
            bool existed = false;
            auto event = openNamedEvent(name, initialState != FALSE, existed);
            if (!event)
                return nullptr;
            HANDLE handle = insertHandle(std::move(event));
            if (handle != nullptr)
                SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
            return handle;
        },
        handleOnFault);
}

BOOL WINAPI SetEvent(HANDLE handle) {
    auto event = findHandleOf<EventObject>(handle);
    return event ? event->set() : FALSE;
}

BOOL WINAPI ResetEvent(HANDLE handle) {
    auto event = findHandleOf<EventObject>(handle);
    return event ? event->reset() : FALSE;
}

static_assert(kMaxWaitObjects <= kMaxHandleSet);

DWORD WINAPI WaitForMultipleObjects(DWORD count, const HANDLE *handles, BOOL waitAll, DWORD ms) {
    if (count == 0 || count > kMaxWaitObjects || handles == nullptr || waitAll)
        return failWait(ERROR_INVALID_PARAMETER);
    const HandleSetUse held(handles, count);
    if (held.objects() == nullptr)
        return WAIT_FAILED;
    std::array<EventObject *, kMaxWaitObjects> events;
    for (DWORD i = 0; i < count; ++i) {
        if (held.objects()[i]->kind() != EventObject::kKind)
            return failWait(ERROR_INVALID_HANDLE);
        events[i] = static_cast<EventObject *>(held.objects()[i]);
    }
    return waitForAnyEvent(events.data(), count, Deadline::after(ms),
                           held.sameAsBefore() ? GatheredUse::reuse : GatheredUse::keep);
}
