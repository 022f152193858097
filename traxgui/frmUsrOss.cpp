#include "frmUsrOss.h"

#include "appInfo.h"
#include "functionForm.h"
#include "libbinding.h"
#include "modSigHdlr.h"
#include "modTraxgui.h"
#include "msgbox.h"
#include "pictureBox.h"
#include "traxformat.h"
#include "ui_frmUsrOss.h"

#include <usr_oss.h>

#include <QMouseEvent>
#include <QStringList>

namespace traxgui {
namespace {

constexpr uint32_t kTrySignalCode = 0x111;

/// The warning shown before the handler is installed, line by line.
const char *const kHandlerWarning[] = {
    "WARNING:",
    "",
    "The usage of the signal handler produces an access violation error",
    "if the signal handler will be called by the USR-OSS DLL.",
    "",
    "Cause:",
    "Qabel currently doesn't supports the free threading modell",
    "and the signal handler will be called by a thread that",
    "was not created by Qabel.",
    "",
    "Do you really want to install the signal handler ?",
};

QString handlerWarningText() {
    QStringList lines;
    for (const char *line : kHandlerWarning)
        lines << QLatin1String(line);
    return lines.join(u'\n');
}

/// How an argument box is laid out when a function is chosen; a null caption hides it.
/// A null text offers the last random value.
struct ArgLayout {
    const char *caption = nullptr;
    const char *text = "";
};

/// Calls an OS-services entry by name; no value when it could not be bound.
template <typename Fn, typename... Args> auto callOss(const char *entryName, Args... args) {
    return CallEntry<Fn>(TraxLibrary::UsrOss, entryName, args...);
}

} // namespace

struct frmUsrOss::FunctionRow {
    const char *name;
    const char *retCaption;
    std::array<ArgLayout, 3> args;
    bool showOutput; ///< the output window shows the text that the call returns
    bool showStatus; ///< the status box shows the call's outcome
    void (frmUsrOss::*call)();
};

namespace {

using Row = frmUsrOss::FunctionRow;

const ArgLayout kNone{};
const ArgLayout kOldRandom{"old random value", nullptr};

} // namespace

// The common functions in the order they are offered, with each one's layout and call.
std::span<const frmUsrOss::FunctionRow> frmUsrOss::functionRows() {
    static const std::array<Row, 9> rows{{
        {"UOS_Ident", "string address", {kNone, kNone, kNone}, true, false, &frmUsrOss::callIdent},
        {"UOS_ErrString",
         "string address",
         {ArgLayout{"error code", "&He00e1000"}, kNone, kNone},
         true,
         false,
         &frmUsrOss::callErrString},
        {"UOS_Random",
         "random value",
         {kOldRandom, kNone, kNone},
         false,
         false,
         &frmUsrOss::callRandom},
        {"UOS_RandomMap",
         "mapped value",
         {kOldRandom, ArgLayout{"min value", "0"}, ArgLayout{"max value", "100"}},
         false,
         false,
         &frmUsrOss::callRandomMap},
        {"UOS_MsecTimerGet",
         "timer value [msec]",
         {kNone, kNone, kNone},
         false,
         false,
         &frmUsrOss::callMsecTimerGet},
        {"UOS_MsecTimerResolution",
         "resolution [msec]",
         {kNone, kNone, kNone},
         false,
         false,
         &frmUsrOss::callMsecTimerResolution},
        {"UOS_Delay",
         "rounded [msec]",
         {ArgLayout{"msec", "1000"}, kNone, kNone},
         false,
         false,
         &frmUsrOss::callDelay},
        {"UOS_MikroDelayInit",
         "error code",
         {kNone, kNone, kNone},
         false,
         true,
         &frmUsrOss::callMikroDelayInit},
        {"UOS_MikroDelay",
         "error code",
         {ArgLayout{"usec", "1000000"}, kNone, kNone},
         false,
         true,
         &frmUsrOss::callMikroDelay},
    }};
    return rows;
}

frmUsrOss::frmUsrOss(QWidget *parent) : TraxForm(parent), ui_(std::make_unique<Ui::frmUsrOss>()) {
    ui_->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    connect(ui_->optGrpComFunc, &QRadioButton::clicked, this,
            [this] { showCommonFunctions(true); });
    connect(ui_->optGrpSigFunc, &QRadioButton::clicked, this,
            [this] { showCommonFunctions(false); });
    connect(ui_->cboFunction, &QComboBox::activated, this, &frmUsrOss::onFunctionChosen);
    connect(ui_->cmdCall, &QPushButton::clicked, this, &frmUsrOss::onCall);
    connect(ui_->cmdCls, &QPushButton::clicked, ui_->picOutput, &PictureBox::cls);
    connect(ui_->cmdSigInit, &QPushButton::clicked, this, &frmUsrOss::onSigInit);
    connect(ui_->cmdSigExit, &QPushButton::clicked, this, &frmUsrOss::onSigExit);
    connect(ui_->cmdSigMask, &QPushButton::clicked, this, &frmUsrOss::onSigMask);
    connect(ui_->cmdSigUnMask, &QPushButton::clicked, this, &frmUsrOss::onSigUnMask);
    connect(ui_->cmdSigInstall, &QPushButton::clicked, this, &frmUsrOss::onSigInstall);
    connect(ui_->cmdSigRemove, &QPushButton::clicked, this, &frmUsrOss::onSigRemove);
    connect(ui_->cmdSigWait, &QPushButton::clicked, this, &frmUsrOss::onSigWait);
    connect(ui_->chkSigInitHdlr, &QCheckBox::toggled, this, &frmUsrOss::onHandlerBoxChanged);

    // The two function groups share one place in the form, and the argument area and the
    // frames keep their place when hidden, so the form neither jumps nor needs resizing when
    // the user switches groups or functions.
    KeepPlaceWhenHidden({ui_->lblArg0, ui_->lblArg1, ui_->lblArg2, ui_->txtArg0, ui_->txtArg1,
                         ui_->txtArg2, ui_->lblRet, ui_->txtRet, ui_->txtStatus, ui_->fraComFunc,
                         ui_->fraOutput, ui_->fraSigFunc, ui_->fraSigHdlr});
    FixCaptionColumns(*ui_, functionRows(), {}, {QStringLiteral("error code")});
    NeutralWhenCallButtonLeft(ui_->cmdCall, ui_->txtStatus);
    ui_->fraSigFunc->setMouseTracking(true);
    ui_->fraSigFunc->installEventFilter(this);
    ui_->fraSigHdlr->installEventFilter(this);
    SetBoxColor(ui_->txtStatus, ButtonFaceColor());
    SetBoxColor(ui_->txtSigStatus, ButtonFaceColor());
    QPalette indicator = ui_->shpSigHdlrSignal->palette();
    indicator.setColor(QPalette::Window, ButtonFaceColor());
    ui_->shpSigHdlrSignal->setPalette(indicator);
}

frmUsrOss::~frmUsrOss() = default;

void frmUsrOss::showReceivedSignal(uint32_t sigCode) {
    ShowSignal(ui_->shpSigHdlrSignal, ui_->lstSigHdlrRecvdSigCode, sigCode);
}

QFrame *frmUsrOss::signalIndicator() const {
    return ui_->shpSigHdlrSignal;
}

QListWidget *frmUsrOss::receivedSignalList() const {
    return ui_->lstSigHdlrRecvdSigCode;
}

void frmUsrOss::load() {
    OfferFunctions(ui_->cboFunction, functionRows());
    showOutput(false);
    ui_->fraSigFunc->hide();
    ui_->txtSigInitStatus->setText(QStringLiteral("not initialized"));
    ui_->txtSigMaskStatus->setText(QStringLiteral("not masked"));
    ui_->fraSigHdlr->hide();
    lastRandom_ = 0;
}

/// The output window belongs to the common functions: it goes with their frame, and comes
/// back with it only if the chosen function prints.
void frmUsrOss::showCommonFunctions(bool common) {
    ui_->fraComFunc->setVisible(common);
    ui_->fraOutput->setVisible(common && outputWanted_);
    ui_->fraSigFunc->setVisible(!common);
}

// ---- Common functions: layout ----

void frmUsrOss::onFunctionChosen() {
    const Row *row = FindFunctionRow(functionRows(), ui_->cboFunction->currentText());
    if (row == nullptr)
        return;
    resetArgumentArea();
    applyRow(*row);
}

void frmUsrOss::resetArgumentArea() {
    ShowLabel(ui_->lblRet, QStringLiteral("error code"));
    ShowTextLocked(ui_->txtRet, QString());
    for (int i = 0; i < 3; ++i) {
        HideLabel(ArgLabel(*ui_, i));
        HideText(ArgBox(*ui_, i));
    }
    ui_->txtStatus->hide();
    ShowStatusNeutral(ui_->txtStatus);
    showOutput(false);
}

void frmUsrOss::showOutput(bool shown) {
    outputWanted_ = shown;
    ui_->fraOutput->setVisible(shown);
}

void frmUsrOss::applyRow(const Row &row) {
    ShowLabel(ui_->lblRet, QLatin1String(row.retCaption));
    for (int i = 0; i < 3; ++i) {
        const ArgLayout &arg = row.args[static_cast<size_t>(i)];
        if (arg.caption == nullptr)
            continue;
        ShowLabel(ArgLabel(*ui_, i), QLatin1String(arg.caption));
        ShowTextInput(ArgBox(*ui_, i),
                      arg.text != nullptr ? QLatin1String(arg.text) : QString::number(lastRandom_));
    }
    showOutput(row.showOutput);
    ui_->txtStatus->setVisible(row.showStatus);
}

// ---- Common functions: calling ----

void frmUsrOss::onCall() {
    ShowStatusNeutral(ui_->txtStatus);
    ui_->txtStatus->repaint();
    ui_->txtRet->clear();
    ui_->txtRet->repaint();
    ShowWaiting(ui_->txtStatus);
    const Row *row = FindFunctionRow(functionRows(), ui_->cboFunction->currentText());
    if (row == nullptr) {
        MsgWarning(QStringLiteral("unknown USR-OSS function"));
        return;
    }
    (this->*row->call)();
}

void frmUsrOss::showNumber(int32_t value) {
    ui_->txtRet->setText(QString::number(value));
}

/// A text that the library returned by address: the address in the return box, the text
/// as one line in the output window.
void frmUsrOss::showText(const char *address) {
    ui_->txtRet->setText(addressText(address));
    ui_->picOutput->printLine(PtrToString(address));
}

void frmUsrOss::callIdent() {
    if (const auto address = callOss<decltype(UOS_IDENT)>("UOS_IDENT"))
        showText(*address);
}

void frmUsrOss::callErrString() {
    int32_t code = 0;
    if (!ReadArg(*ui_, 0, code, QStringLiteral("error code")))
        return;
    if (const auto address = callOss<decltype(UOS_ERRSTRING)>("UOS_ERRSTRING", code))
        showText(*address);
}

void frmUsrOss::callRandom() {
    int32_t old = 0;
    if (!ReadArg(*ui_, 0, old, QStringLiteral("old random value")))
        return;
    const auto value = callOss<decltype(UOS_RANDOM)>("UOS_RANDOM", static_cast<uint32_t>(old));
    if (!value)
        return;
    // The result is offered as the argument of the next call.
    lastRandom_ = static_cast<int32_t>(*value);
    ArgBox(*ui_, 0)->setText(QString::number(lastRandom_));
    showNumber(lastRandom_);
}

void frmUsrOss::callRandomMap() {
    const std::array<const char *, 3> names{"random value", "min value", "max value"};
    std::array<int32_t, 3> values{};
    for (int i = 0; i < 3; ++i) {
        const auto index = static_cast<size_t>(i);
        if (!ReadArg(*ui_, i, values[index], QLatin1String(names[index])))
            return;
    }
    const auto mapped = callOss<decltype(UOS_RANDOM_MAP)>(
        "UOS_RANDOM_MAP", static_cast<uint32_t>(values[0]), static_cast<uint32_t>(values[1]),
        static_cast<uint32_t>(values[2]));
    if (mapped)
        showNumber(static_cast<int32_t>(*mapped));
}

void frmUsrOss::callMsecTimerGet() {
    if (const auto value = callOss<decltype(UOS_MSEC_TIMER_GET)>("UOS_MSEC_TIMER_GET"))
        showNumber(static_cast<int32_t>(*value));
}

void frmUsrOss::callMsecTimerResolution() {
    if (const auto value =
            callOss<decltype(UOS_MSEC_TIMER_RESOLUTION)>("UOS_MSEC_TIMER_RESOLUTION"))
        showNumber(static_cast<int32_t>(*value));
}

void frmUsrOss::callDelay() {
    int32_t msec = 0;
    if (!ReadArg(*ui_, 0, msec, QStringLiteral("msec")))
        return;
    if (const auto used = callOss<decltype(UOS_DELAY)>("UOS_DELAY", msec))
        showNumber(*used);
}

void frmUsrOss::callMikroDelayInit() {
    const auto status = callOss<decltype(UOS_MIKRO_DELAY_INIT)>("UOS_MIKRO_DELAY_INIT");
    if (!status)
        return;
    showNumber(*status);
    ShowOssStatus(*status, ui_->txtStatus);
}

void frmUsrOss::callMikroDelay() {
    int32_t usec = 0;
    if (!ReadArg(*ui_, 0, usec, QStringLiteral("usec")))
        return;
    const auto status =
        callOss<decltype(UOS_MIKRO_DELAY)>("UOS_MIKRO_DELAY", static_cast<uint32_t>(usec));
    if (!status)
        return;
    showNumber(*status);
    ShowOssStatus(*status, ui_->txtStatus);
}

// ---- Signal functions ----

/// Shows the waiting look, makes the call and shows its outcome in the signal status box;
/// true when the library returned 0 or more. A call that could not be made (its library or
/// entry is missing, which a message box has said) leaves the box neutral.
template <typename Fn, typename... Args>
bool frmUsrOss::callSignalEntry(const char *entryName, Args... args) {
    ShowWaiting(ui_->txtSigStatus);
    const auto status = callOss<Fn>(entryName, args...);
    if (!status) {
        ShowStatusNeutral(ui_->txtSigStatus);
        return false;
    }
    return ShowOssStatus(*status, ui_->txtSigStatus);
}

void frmUsrOss::onSigInit() {
    const UOS_SIG_HANDLER handler = ui_->chkSigInitHdlr->isChecked() ? &SigHdlr : nullptr;
    if (!callSignalEntry<decltype(UOS_SIG_INIT)>("UOS_SIG_INIT", handler))
        return;
    ui_->txtSigInitStatus->setText(QStringLiteral("initialized"));
    ResetReceivedSignalNumber();
    ui_->lstSigHdlrRecvdSigCode->clear();
    ui_->chkSigInitHdlr->setEnabled(false);
}

void frmUsrOss::onSigExit() {
    if (!callSignalEntry<decltype(UOS_SIG_EXIT)>("UOS_SIG_EXIT"))
        return;
    ui_->txtSigInitStatus->setText(QStringLiteral("not initialized"));
    ui_->chkSigInitHdlr->setEnabled(true);
    ui_->lstSigInstSigList->clear();
}

void frmUsrOss::onSigMask() {
    if (callSignalEntry<decltype(UOS_SIG_MASK)>("UOS_SIG_MASK"))
        ui_->txtSigMaskStatus->setText(QStringLiteral("masked"));
}

void frmUsrOss::onSigUnMask() {
    if (callSignalEntry<decltype(UOS_SIG_UN_MASK)>("UOS_SIG_UN_MASK"))
        ui_->txtSigMaskStatus->setText(QStringLiteral("not masked"));
}

bool frmUsrOss::readSignalCode(int32_t &code) {
    return ArgToLong(ui_->txtSigInstRemSigCode->text(), code, QStringLiteral("signal code"));
}

void frmUsrOss::onSigInstall() {
    int32_t code = 0;
    if (!readSignalCode(code))
        return;
    if (callSignalEntry<decltype(UOS_SIG_INSTALL)>("UOS_SIG_INSTALL", static_cast<uint32_t>(code)))
        ui_->lstSigInstSigList->addItem(hexText(code));
}

void frmUsrOss::onSigRemove() {
    int32_t code = 0;
    if (!readSignalCode(code))
        return;
    if (!callSignalEntry<decltype(UOS_SIG_REMOVE)>("UOS_SIG_REMOVE", static_cast<uint32_t>(code)))
        return;
    // Entries are compared by their hexadecimal form, whatever form the code was typed in.
    const QString entry = hexText(code);
    for (int row = ui_->lstSigInstSigList->count() - 1; row >= 0; --row) {
        if (ui_->lstSigInstSigList->item(row)->text() == entry)
            delete ui_->lstSigInstSigList->takeItem(row);
    }
}

void frmUsrOss::onSigWait() {
    int32_t timeout = 0;
    if (!ArgToLong(ui_->txtSigWaitTimeout->text(), timeout, QStringLiteral("timeout")))
        return;
    ui_->txtSigWaitSigCode->clear();
    uint32_t code = 0;
    if (callSignalEntry<decltype(UOS_SIG_WAIT)>("UOS_SIG_WAIT", static_cast<uint32_t>(timeout),
                                                &code))
        ui_->txtSigWaitSigCode->setText(hexText(static_cast<int32_t>(code)));
}

/// Checking the box asks first; answering No unchecks it again, which hides the frame.
void frmUsrOss::onHandlerBoxChanged(bool checked) {
    if (!checked) {
        ui_->fraSigHdlr->hide();
        return;
    }
    const auto answer = MsgBox(handlerWarningText(), QMessageBox::Warning,
                               QMessageBox::Yes | QMessageBox::No, AppTitle());
    if (answer == QMessageBox::Yes)
        ui_->fraSigHdlr->show();
    else
        ui_->chkSigInitHdlr->setChecked(false);
}

// ---- Events ----

/// Moving the mouse over the signal frame returns the signal status box to the neutral
/// look; clicking the handler frame shows a made-up signal so that the display can be tried
/// without the library.
bool frmUsrOss::eventFilter(QObject *watched, QEvent *event) {
    if (watched == ui_->fraSigFunc && event->type() == QEvent::MouseMove) {
        ShowStatusNeutral(ui_->txtSigStatus);
    } else if (watched == ui_->fraSigHdlr && event->type() == QEvent::MouseButtonRelease) {
        // A click ends over the frame; a press released elsewhere is abandoned.
        const auto *release = static_cast<QMouseEvent *>(event);
        if (ui_->fraSigHdlr->rect().contains(release->position().toPoint()))
            SigHdlr(kTrySignalCode);
    }
    return TraxForm::eventFilter(watched, event);
}

} // namespace traxgui
