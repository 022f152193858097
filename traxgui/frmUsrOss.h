// The OS-services form: the common functions of the OS-services library (identification,
// error text, random numbers, timer, delays) through a function list and a call button, and
// the signal functions through one button each, with the signal handler's display.
#ifndef TRAXGUI_FRMUSROSS_H
#define TRAXGUI_FRMUSROSS_H

#include "traxForm.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

class QFrame;
class QListWidget;

namespace Ui {
class frmUsrOss;
}

namespace traxgui {

class frmUsrOss : public TraxForm {
    Q_OBJECT

  public:
    /// Creates the form; load runs its load procedure.
    explicit frmUsrOss(QWidget *parent = nullptr);
    ~frmUsrOss() override;

    /// Offers the common functions and shows their group, with the signals not initialized.
    void load() override;

    /// Shows a signal that the handler received: the indicator flashes and the list of
    /// received signals gets an entry.
    void showReceivedSignal(uint32_t sigCode);

    /// The filled shape that flashes when a signal arrives.
    QFrame *signalIndicator() const;
    /// The list of received signals.
    QListWidget *receivedSignalList() const;

    /// One function of the common-function list: its argument layout and its call.
    struct FunctionRow;

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    static std::span<const FunctionRow> functionRows();

    void showCommonFunctions(bool common);

    void onFunctionChosen();
    void resetArgumentArea();
    /// Shows or hides the output window as the chosen function wants it.
    void showOutput(bool shown);
    void applyRow(const FunctionRow &row);

    void onCall();
    void showNumber(int32_t value);
    void showText(const char *address);
    void callIdent();
    void callErrString();
    void callRandom();
    void callRandomMap();
    void callMsecTimerGet();
    void callMsecTimerResolution();
    void callDelay();
    void callMikroDelayInit();
    void callMikroDelay();

    template <typename Fn, typename... Args>
    bool callSignalEntry(const char *entryName, Args... args);
    void onSigInit();
    void onSigExit();
    void onSigMask();
    void onSigUnMask();
    bool readSignalCode(int32_t &code);
    void onSigInstall();
    void onSigRemove();
    void onSigWait();
    void onHandlerBoxChanged(bool checked);

    std::unique_ptr<Ui::frmUsrOss> ui_;
    int32_t lastRandom_ = 0;
    /// The chosen function prints into the output window.
    bool outputWanted_ = false;
};

} // namespace traxgui

#endif
