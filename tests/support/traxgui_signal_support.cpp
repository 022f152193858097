#include "traxgui_signal_support.h"

#include "frmMain.h"
#include "frmUsrOss.h"
#include "libbinding.h"
#include "msgbox.h"
#include "traxguiTestSupport.h"

#include "trax_win32.h"
#include <usr_oss.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

#include <string>
#include <vector>

namespace traxgui::test {

frmUsrOss *UsrOssForm() {
    const frmMain *window = frmMain::existing();
    return window != nullptr ? qobject_cast<frmUsrOss *>(window->openForm(FormKind::UsrOss))
                             : nullptr;
}

bool InitSignalsWithHandler(const QList<uint32_t> &codes) {
    frmMain::instance()->ShowUsrOssForm();
    frmUsrOss *form = UsrOssForm();
    if (form == nullptr)
        return false;
    form->findChild<QRadioButton *>(QStringLiteral("optGrpSigFunc"))->click();
    MessageBoxCapture boxes;
    boxes.AnswerWith(QMessageBox::Yes);
    form->findChild<QCheckBox *>(QStringLiteral("chkSigInitHdlr"))->setChecked(true);
    auto *status = form->findChild<QLineEdit *>(QStringLiteral("txtSigStatus"));
    form->findChild<QPushButton *>(QStringLiteral("cmdSigInit"))->click();
    bool ok = status->text() == QLatin1String("SUCCESS");
    for (uint32_t code : codes) {
        form->findChild<QLineEdit *>(QStringLiteral("txtSigInstRemSigCode"))
            ->setText(QStringLiteral("&H%1").arg(code, 0, 16));
        form->findChild<QPushButton *>(QStringLiteral("cmdSigInstall"))->click();
        ok = ok && status->text() == QLatin1String("SUCCESS");
    }
    return ok && boxes.Count() == 1;
}

bool SendFromSecondProcess(const QList<uint32_t> &codes, int pauseMs) {
    std::vector<std::string> hexCodes;
    for (uint32_t code : codes)
        hexCodes.push_back(QString::number(code, 16).toStdString());
    return trax_test::SendFromSecondProcess(pauseMs, hexCodes) == 0;
}

QStringList ReceivedSignalEntries() {
    const frmUsrOss *form = UsrOssForm();
    return form != nullptr ? ListEntries(form->receivedSignalList()) : QStringList();
}

void EndSignalHandling() {
    CallEntry<decltype(UOS_SIG_EXIT)>(TraxLibrary::UsrOss, "UOS_SIG_EXIT");
    QCoreApplication::sendPostedEvents();
}

} // namespace traxgui::test
