// The MT driver form: arms an alarm of the MT test driver from a four-field alarm block and
// clears an alarm by number, both through M_setstat on the path that the device API form
// opened.
#ifndef TRAXGUI_FRMMTDRV_H
#define TRAXGUI_FRMMTDRV_H

#include <trax_codes.h>

#include "traxForm.h"

#include <memory>

namespace Ui {
class frmMtDrv;
}

namespace traxgui {

class frmMtDrv : public TraxForm {
    Q_OBJECT

  public:
    /// Creates the form with its designed texts.
    explicit frmMtDrv(QWidget *parent = nullptr);
    ~frmMtDrv() override;

    /// Converts the four alarm-block boxes in field order, stopping at the first one that is
    /// not a number (after its warning); true when all four went into block.
    bool readAlarmBlock(MT_ALARM_BLK &block);

  protected:
    /// Moving the mouse over the form returns the status box to its neutral look.
    void mouseMoveEvent(QMouseEvent *event) override;

  private:
    void onBlkAlarmSet();
    void onAlarmClr();
    void callSetstat(int32_t code, intptr_t value);

    std::unique_ptr<Ui::frmMtDrv> ui_;
};

} // namespace traxgui

#endif
