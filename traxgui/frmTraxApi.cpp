#include "frmTraxApi.h"

#include "appInfo.h"
#include "functionForm.h"
#include "libbinding.h"
#include "modTraxgui.h"
#include "msgbox.h"
#include "traxformat.h"
#include "ui_frmTraxApi.h"

#include <trax_api.h>

#include <QPlainTextEdit>
#include <QTextDocument>

namespace traxgui {

int32_t CurrentPath = 0;

namespace {

constexpr int32_t kFirstBlockCode = 0x2000;
constexpr int32_t kMaxByteIndex = frmTraxApi::kBufferSize - 1;
constexpr int32_t kMaxByteValue = 0xFF;

const char kBlockAddress[] = "<block addr>";

/// How an argument box is laid out when a function is chosen; a null caption leaves the
/// box as the reset left it.
struct ArgLayout {
    const char *caption = nullptr;
    bool input = false;
    const char *text = "";
};

/// Calls a device API entry by name; no value when it could not be bound.
template <typename Fn, typename... Args> auto callApi(const char *entryName, Args... args) {
    return CallEntry<Fn>(TraxLibrary::TraxApi, entryName, args...);
}

/// Reads a byte count for the data buffer from the box: a number from 0 to the buffer's
/// size. Otherwise it warns, naming the box by name, and returns false.
bool readByteCount(const QLineEdit *box, const QString &name, int32_t &count) {
    if (!ArgToLong(box->text(), count, name))
        return false;
    if (count < 0 || count > frmTraxApi::kBufferSize) {
        MsgWarning(QStringLiteral("'%1' out of range (0..64)").arg(name));
        return false;
    }
    return true;
}

} // namespace

struct frmTraxApi::FunctionRow {
    const char *name;
    const char *retCaption; ///< null keeps "error code"
    std::array<ArgLayout, 3> args;
    void (frmTraxApi::*further)(); ///< extra layout step, or null
    void (frmTraxApi::*call)();
};

namespace {

using Row = frmTraxApi::FunctionRow;

const ArgLayout kKeep{};
const ArgLayout kStatusCode{"status code", true, "&H1000"};
const ArgLayout kStatusData{"data", true, "&H0"};
const ArgLayout kBufferAddress{"buffer address", false, ""};
const ArgLayout kLength{"length (max 64)", true, "0"};

} // namespace

// The function list in the order it is offered, with each function's layout and call.
std::span<const frmTraxApi::FunctionRow> frmTraxApi::functionRows() {
    static const std::array<Row, 9> rows{{
        {"M_open",
         "path number",
         {ArgLayout{"device name", true, ""}, kKeep, kKeep},
         nullptr,
         &frmTraxApi::callOpen},
        {"M_close", nullptr, {kKeep, kKeep, kKeep}, nullptr, &frmTraxApi::callClose},
        {"M_read",
         nullptr,
         {kKeep, ArgLayout{"value", false, "0"}, kKeep},
         nullptr,
         &frmTraxApi::callRead},
        {"M_write",
         nullptr,
         {kKeep, ArgLayout{"value", true, "0"}, kKeep},
         nullptr,
         &frmTraxApi::callWrite},
        {"M_getstat",
         nullptr,
         {kKeep, kStatusCode, kStatusData},
         &frmTraxApi::resetSavedDataText,
         &frmTraxApi::callGetstat},
        {"M_setstat",
         nullptr,
         {kKeep, kStatusCode, kStatusData},
         &frmTraxApi::resetSavedDataText,
         &frmTraxApi::callSetstat},
        {"M_getblock",
         "read bytes",
         {kKeep, kBufferAddress, kLength},
         &frmTraxApi::showBlockBufferAddress,
         &frmTraxApi::callGetblock},
        {"M_setblock",
         "written bytes",
         {kKeep, kBufferAddress, kLength},
         &frmTraxApi::showBlockBufferAddress,
         &frmTraxApi::callSetblock},
        {"M_errstring",
         "string address",
         {ArgLayout{"error code (hex)", true, "&He00e0000"}, kKeep, kKeep},
         &frmTraxApi::showStringFrame,
         &frmTraxApi::callErrstring},
    }};
    return rows;
}

frmTraxApi::frmTraxApi(QWidget *parent)
    : TraxForm(parent), ui_(std::make_unique<Ui::frmTraxApi>()) {
    ui_->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    // The argument area and the frames keep their place when hidden, so that the form does
    // not jump around as functions are chosen.
    KeepPlaceWhenHidden({ui_->lblArg0, ui_->lblArg1, ui_->lblArg2, ui_->txtArg0, ui_->txtArg1,
                         ui_->txtArg2, ui_->lblRet, ui_->txtRet, ui_->txtStatus, ui_->fraBlk,
                         ui_->fraString, ui_->fraBuffer});
    FixCaptionColumns(*ui_, functionRows(), {QStringLiteral("path number")},
                      {QStringLiteral("error code")});
    fitDumpAreaToEightRows();
    for (int i = 0; i < 3; ++i)
        connect(ArgBox(*ui_, i), &QLineEdit::textChanged, this, [this, i] { onArgChanged(i); });
    connect(ui_->cboFunction, &QComboBox::activated, this, &frmTraxApi::onFunctionChosen);
    connect(ui_->cmdCall, &QPushButton::clicked, this, &frmTraxApi::onCall);
    connect(ui_->cmdBufSetByte, &QPushButton::clicked, this, &frmTraxApi::SetBufByte);
    connect(ui_->txtBufValue, &QLineEdit::returnPressed, this, &frmTraxApi::SetBufByte);
    connect(ui_->cmdBufClrAll, &QPushButton::clicked, this, &frmTraxApi::onClearAll);
    NeutralWhenCallButtonLeft(ui_->cmdCall, ui_->txtStatus);
}

frmTraxApi::~frmTraxApi() = default;

void frmTraxApi::load() {
    OfferFunctions(ui_->cboFunction, functionRows());
    ui_->fraBuffer->hide();
    ui_->fraString->hide();
    ui_->fraBlk->hide();
    ShowStatusNeutral(ui_->txtStatus);
    emit statusChanged(QStringLiteral("no path opened"));
    CurrentPath = 0;
}

/// The hex table of the 64-byte buffer has eight rows; the area shows exactly those.
void frmTraxApi::fitDumpAreaToEightRows() {
    constexpr int rows = kBufferSize / 8;
    QPlainTextEdit *area = ui_->picBufData;
    const int textHeight = area->fontMetrics().lineSpacing() * rows;
    const int margins =
        2 * (area->frameWidth() + static_cast<int>(area->document()->documentMargin()));
    area->setFixedHeight(textHeight + margins + area->contentsMargins().top() +
                         area->contentsMargins().bottom());
}

// ---- Choosing a function ----

void frmTraxApi::onFunctionChosen() {
    const Row *row = FindFunctionRow(functionRows(), ui_->cboFunction->currentText());
    if (row == nullptr)
        return;
    updating_ = true;
    resetArgumentArea();
    applyRow(*row);
    updating_ = false;
}

void frmTraxApi::resetArgumentArea() {
    ShowLabel(ui_->lblRet, QStringLiteral("error code"));
    ShowTextLocked(ui_->txtRet, QString());
    ShowLabel(ArgLabel(*ui_, 0), QStringLiteral("path number"));
    ShowTextLocked(ArgBox(*ui_, 0), QString::number(CurrentPath));
    for (int i = 1; i < 3; ++i) {
        HideLabel(ArgLabel(*ui_, i));
        HideText(ArgBox(*ui_, i));
    }
    ui_->txtStatus->show();
    ShowStatusNeutral(ui_->txtStatus);
    ui_->fraBuffer->hide();
    ui_->fraString->hide();
    ui_->fraBlk->hide();
    blockMode_ = false;
}

void frmTraxApi::applyRow(const Row &row) {
    if (row.retCaption != nullptr)
        ShowLabel(ui_->lblRet, QLatin1String(row.retCaption));
    for (int i = 0; i < 3; ++i) {
        const ArgLayout &arg = row.args[static_cast<size_t>(i)];
        if (arg.caption == nullptr)
            continue;
        ShowLabel(ArgLabel(*ui_, i), QLatin1String(arg.caption));
        if (arg.input)
            ShowTextInput(ArgBox(*ui_, i), QLatin1String(arg.text));
        else
            ShowTextLocked(ArgBox(*ui_, i), QLatin1String(arg.text));
    }
    if (row.further != nullptr)
        (this->*row.further)();
}

void frmTraxApi::resetSavedDataText() {
    savedDataText_ = QLatin1String(kStatusData.text);
}

void frmTraxApi::showBlockBufferAddress() {
    ShowTextLocked(ArgBox(*ui_, 1), addressText(dataBuf_.data()));
    ShowDataBuffer();
}

void frmTraxApi::showStringFrame() {
    ui_->txtStatus->hide();
    ui_->fraString->show();
}

// ---- Typing arguments ----

void frmTraxApi::onArgChanged(int index) {
    if (updating_)
        return;
    const QString function = ui_->cboFunction->currentText();
    if (function != QLatin1String("M_getstat") && function != QLatin1String("M_setstat"))
        return;
    if (index == 1)
        onStatusCodeChanged();
    else if (index == 2)
        savedDataText_ = ArgBox(*ui_, 2)->text();
}

void frmTraxApi::onStatusCodeChanged() {
    int32_t code = 0;
    if (!ReadArg(*ui_, 1, code, QStringLiteral("status code")))
        return;
    updating_ = true;
    setBlockMode(code >= kFirstBlockCode);
    updating_ = false;
}

void frmTraxApi::setBlockMode(bool on) {
    blockMode_ = on;
    if (on) {
        ShowTextLocked(ArgBox(*ui_, 2), QLatin1String(kBlockAddress));
        ui_->fraBlk->show();
        ShowDataBuffer();
    } else {
        ShowTextInput(ArgBox(*ui_, 2), savedDataText_);
        ui_->fraBlk->hide();
        ui_->fraBuffer->hide();
    }
}

// ---- Calling ----

void frmTraxApi::onCall() {
    const Row *row = FindFunctionRow(functionRows(), ui_->cboFunction->currentText());
    if (row == nullptr) {
        MsgWarning(QStringLiteral("unknown TRAX-API function"));
        return;
    }
    (this->*row->call)();
}

bool frmTraxApi::report(int32_t ret) {
    ui_->txtRet->setText(QString::number(ret));
    return ShowTraxStatus(ret, ui_->txtStatus);
}

/// Shows in an argument box the value that the call used or returned, then its outcome.
void frmTraxApi::reportWithArg(int32_t ret, int argIndex, const QString &argText) {
    ArgBox(*ui_, argIndex)->setText(argText);
    report(ret);
}

void frmTraxApi::dumpDataBuffer() {
    DumpBuffer(ui_->picBufData, dataBuf_, kBufferSize, ui_->txtBufData);
}

void frmTraxApi::callOpen() {
    const QString name = ArgBox(*ui_, 0)->text();
    if (name.isEmpty()) {
        MsgBox(QStringLiteral("invalid device name"), QMessageBox::NoIcon, QMessageBox::Ok,
               AppTitle());
        return;
    }
    const QByteArray device = name.toLatin1();
    const auto ret = callApi<decltype(M_OPEN)>("M_OPEN", device.constData());
    if (!ret)
        return;
    if (report(*ret)) {
        // A path that was open before stays open in the library; only the form forgets it.
        CurrentPath = *ret;
        emit statusChanged(QStringLiteral("path to device '%1' opened").arg(name));
    }
}

void frmTraxApi::callClose() {
    const auto ret = callApi<decltype(M_CLOSE)>("M_CLOSE", CurrentPath);
    if (!ret)
        return;
    if (report(*ret)) {
        CurrentPath = 0;
        emit statusChanged(QStringLiteral("no path opened"));
    }
}

void frmTraxApi::callRead() {
    int32_t value = parseArgNumber(ArgBox(*ui_, 1)->text()).value_or(0);
    const auto ret = callApi<decltype(M_READ)>("M_READ", CurrentPath, &value);
    if (!ret)
        return;
    reportWithArg(*ret, 1, QString::number(value));
}

void frmTraxApi::callWrite() {
    int32_t value = 0;
    if (!ReadArg(*ui_, 1, value, QStringLiteral("value")))
        return;
    const auto ret = callApi<decltype(M_WRITE)>("M_WRITE", CurrentPath, value);
    if (!ret)
        return;
    reportWithArg(*ret, 1, QString::number(value));
}

bool frmTraxApi::readBlockSize(int32_t &size) {
    return readByteCount(ui_->txtBlkSize, QStringLiteral("blk.size"), size);
}

void frmTraxApi::finishStatusCall(int32_t ret, int32_t code, int32_t blockSizeShown) {
    ui_->txtBlkSize->setText(QString::number(blockSizeShown));
    reportWithArg(ret, 1, hexText(code));
}

void frmTraxApi::callGetstat() {
    int32_t code = 0;
    if (!ReadArg(*ui_, 1, code, QStringLiteral("status code")))
        return;
    if (!blockMode_) {
        int32_t value = 0;
        if (!ReadArg(*ui_, 2, value, QStringLiteral("data")))
            return;
        const auto ret = callApi<decltype(M_GETSTAT)>("M_GETSTAT", CurrentPath, code, &value);
        if (!ret)
            return;
        ArgBox(*ui_, 2)->setText(hexText(value));
        finishStatusCall(*ret, code, 0);
        return;
    }
    M_SG_BLOCK record{0, dataBuf_.data()};
    if (!readBlockSize(record.size))
        return;
    const auto ret = callApi<decltype(M_GETSTAT)>("M_GETSTAT", CurrentPath, code,
                                                  reinterpret_cast<int32_t *>(&record));
    if (!ret)
        return;
    dumpDataBuffer();
    finishStatusCall(*ret, code, record.size);
}

void frmTraxApi::callSetstat() {
    int32_t code = 0;
    if (!ReadArg(*ui_, 1, code, QStringLiteral("status code")))
        return;
    if (!blockMode_) {
        int32_t value = 0;
        if (!ReadArg(*ui_, 2, value, QStringLiteral("data")))
            return;
        const auto ret = callApi<decltype(M_SETSTAT)>("M_SETSTAT", CurrentPath, code,
                                                      static_cast<intptr_t>(value));
        if (!ret)
            return;
        finishStatusCall(*ret, code, 0);
        return;
    }
    M_SG_BLOCK record{0, dataBuf_.data()};
    if (!readBlockSize(record.size))
        return;
    const int32_t sizeUsed = record.size;
    const auto ret = callApi<decltype(M_SETSTAT)>("M_SETSTAT", CurrentPath, code,
                                                  reinterpret_cast<intptr_t>(&record));
    if (!ret)
        return;
    dumpDataBuffer();
    finishStatusCall(*ret, code, sizeUsed);
}

void frmTraxApi::callGetblock() {
    callBlockTransfer(false);
}

void frmTraxApi::callSetblock() {
    callBlockTransfer(true);
}

void frmTraxApi::callBlockTransfer(bool write) {
    int32_t length = 0;
    if (!readByteCount(ArgBox(*ui_, 2), QStringLiteral("length"), length))
        return;
    const auto ret =
        write ? callApi<decltype(M_SETBLOCK)>("M_SETBLOCK", CurrentPath,
                                              static_cast<const uint8_t *>(dataBuf_.data()), length)
              : callApi<decltype(M_GETBLOCK)>("M_GETBLOCK", CurrentPath, dataBuf_.data(), length);
    if (!ret)
        return;
    dumpDataBuffer();
    reportWithArg(*ret, 2, QString::number(length));
}

void frmTraxApi::callErrstring() {
    int32_t code = 0;
    if (!ReadArg(*ui_, 0, code, QStringLiteral("error code")))
        return;
    const auto address = callApi<decltype(M_ERRSTRING)>("M_ERRSTRING", code);
    if (!address)
        return;
    ui_->txtRet->setText(addressText(*address));
    ui_->txtString->setText(PtrToString(*address));
}

// ---- Data buffer ----

void frmTraxApi::ShowDataBuffer() {
    ui_->fraBuffer->show();
    dumpDataBuffer();
}

void frmTraxApi::SetBufByte() {
    int32_t index = 0;
    if (!ArgToLong(ui_->txtBufByte->text(), index, QStringLiteral("Byte")))
        return;
    if (index < 0 || index > kMaxByteIndex) {
        MsgWarning(QStringLiteral("'Byte' out of range (0..63)"));
        return;
    }
    int32_t value = 0;
    if (!ArgToLong(ui_->txtBufValue->text(), value, QStringLiteral("Value")))
        return;
    if (value < 0 || value > kMaxByteValue) {
        MsgWarning(QStringLiteral("'Value' out of range (0x00..0xFF)"));
        return;
    }
    dataBuf_[static_cast<size_t>(index)] = static_cast<uint8_t>(value);
    dumpDataBuffer();
    if (ui_->chkBufAutoinc->isChecked())
        ui_->txtBufByte->setText(QString::number(index + 1));
}

void frmTraxApi::onClearAll() {
    ClearBuffer(dataBuf_);
    dumpDataBuffer();
    ui_->txtBufByte->setText(QStringLiteral("0"));
    ui_->txtBufValue->setText(QStringLiteral("&H0"));
}

} // namespace traxgui
