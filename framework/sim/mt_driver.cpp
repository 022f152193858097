// The MT test driver: value registers and alarms that send signals to the process.
#include <cstring>

#include "sim_alarm_timer.h"
#include "sim_drivers.h"
#include "trax_errors.h"
#include "trax_win32.h"

namespace sim {

namespace {

constexpr int32_t kFirstSignal = 0x100;
constexpr int32_t kLastSignal = 0x1ff;

Status check_alarm_number(int32_t nr) {
    return nr >= 0 && nr < MtDriver::kAlarmCount ? ERR_SUCCESS : ERR_LL_ILL_ALARM;
}

Status check_alarm_block(const MT_ALARM_BLK &alarm) {
    if (Status status = check_alarm_number(alarm.nr)) {
        return status;
    }
    if (alarm.msec <= 0) {
        return ERR_LL_ILL_TIME;
    }
    if (alarm.signal < kFirstSignal || alarm.signal > kLastSignal) {
        return ERR_LL_ILL_SIG;
    }
    return ERR_SUCCESS;
}

} // namespace

Status MtDriver::read(int32_t channel, int32_t *value) {
    *value = channel_word(state_, channel).load(std::memory_order_relaxed);
    return ERR_SUCCESS;
}

Status MtDriver::write(int32_t channel, int32_t value) {
    channel_word(state_, channel).store(value & kStoredBits, std::memory_order_relaxed);
    return ERR_SUCCESS;
}

Status MtDriver::set_stat(int32_t code, int32_t value) {
    if (code != MT_ALARM_CLR) {
        return Driver::set_stat(code, value);
    }
    if (Status status = check_alarm_number(value)) {
        return status;
    }
    AlarmTimer::instance().disarm(this, value);
    return ERR_SUCCESS;
}

Status MtDriver::set_stat_block(int32_t code, const M_SG_BLOCK *block) {
    if (code != MT_BLK_ALARM_SET) {
        return Driver::set_stat_block(code, block);
    }
    if (block->size < static_cast<int32_t>(sizeof(MT_ALARM_BLK))) {
        return ERR_LL_BLK_SHORT;
    }
    MT_ALARM_BLK alarm;
    std::memcpy(&alarm, block->data, sizeof alarm);
    if (Status status = check_alarm_block(alarm)) {
        return status;
    }
    AlarmTimer::instance().arm(this, alarm.nr, alarm.msec, alarm.cyclic != 0, GetCurrentProcessId(),
                               static_cast<uint32_t>(alarm.signal));
    return ERR_SUCCESS;
}

void MtDriver::last_path_closed() {
    AlarmTimer::instance().disarm_all(this);
}

} // namespace sim
