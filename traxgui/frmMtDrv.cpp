#include "frmMtDrv.h"

#include "frmTraxApi.h"
#include "libbinding.h"
#include "modTraxgui.h"
#include "ui_frmMtDrv.h"

#include <trax_api.h>

#include <array>

namespace traxgui {

frmMtDrv::frmMtDrv(QWidget *parent) : TraxForm(parent), ui_(std::make_unique<Ui::frmMtDrv>()) {
    ui_->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    setMouseTracking(true);
    ShowStatusNeutral(ui_->txtMtStatus);
    connect(ui_->cmd_Setstat_BlkAlarmSet, &QPushButton::clicked, this, &frmMtDrv::onBlkAlarmSet);
    connect(ui_->cmd_Setstat_AlarmClr, &QPushButton::clicked, this, &frmMtDrv::onAlarmClr);
}

frmMtDrv::~frmMtDrv() = default;

bool frmMtDrv::readAlarmBlock(MT_ALARM_BLK &block) {
    struct Field {
        QLineEdit *box;
        const char *name;
        int32_t *value;
    };
    const std::array<Field, 4> fields{{
        {ui_->txtBlkAlarmNr, "alarmBlk.nr", &block.nr},
        {ui_->txtBlkAlarmMsec, "alarmBlk.msec", &block.msec},
        {ui_->txtBlkAlarmCyclic, "alarmBlk.cyclic", &block.cyclic},
        {ui_->txtBlkAlarmSignal, "alarmBlk.signal", &block.signal},
    }};
    for (const Field &field : fields) {
        if (!ArgToLong(field.box->text(), *field.value, QLatin1String(field.name)))
            return false;
    }
    return true;
}

void frmMtDrv::onBlkAlarmSet() {
    MT_ALARM_BLK alarm{};
    if (!readAlarmBlock(alarm))
        return;
    // The block and its descriptor live until the call has returned; the driver copies them.
    M_SG_BLOCK descriptor{static_cast<int32_t>(sizeof alarm), &alarm};
    callSetstat(MT_BLK_ALARM_SET, reinterpret_cast<intptr_t>(&descriptor));
}

void frmMtDrv::onAlarmClr() {
    int32_t alarmNr = 0;
    if (!ArgToLong(ui_->txtAlarmNr->text(), alarmNr, QStringLiteral("alarmNr")))
        return;
    callSetstat(MT_ALARM_CLR, alarmNr);
}

void frmMtDrv::callSetstat(int32_t code, intptr_t value) {
    const auto ret =
        CallEntry<decltype(M_SETSTAT)>(TraxLibrary::TraxApi, "M_SETSTAT", CurrentPath, code, value);
    if (ret)
        ShowTraxStatus(*ret, ui_->txtMtStatus);
}

void frmMtDrv::mouseMoveEvent(QMouseEvent *event) {
    ShowStatusNeutral(ui_->txtMtStatus);
    TraxForm::mouseMoveEvent(event);
}

} // namespace traxgui
