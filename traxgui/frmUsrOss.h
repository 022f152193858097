// The OS-services form: the common functions of the OS-services library (identification,
// error text, random numbers, timer, delays) through a function list and a call button, and
// the signal functions through one button each, with the signal handler's display.
#ifndef TRAXGUI_FRMUSROSS_H
#define TRAXGUI_FRMUSROSS_H

#include <QWidget>

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

class frmUsrOss : public QWidget {
    Q_OBJECT

  public:
    /// Creates the form and runs its load procedure. There is one instance at a time.
    explicit frmUsrOss(QWidget *parent = nullptr);
    ~frmUsrOss() override;

    /// The form to open from the main window: the instance that a signal loaded hidden while
    /// the form was closed, else a new one.
    static QWidget *Create();
    /// The single instance, open or loaded hidden; null if there is none.
    static frmUsrOss *Existing();
    /// The single instance; if there is none, one is loaded without being shown (inside the
    /// main window, so that opening it later shows this instance). Null without a main window.
    static frmUsrOss *LoadHidden();

    /// The filled shape that flashes when a signal arrives.
    QFrame *SignalIndicator() const;
    /// The list of received signals.
    QListWidget *ReceivedSignalList() const;

    /// One function of the common-function list: its argument layout and its call.
    struct FunctionRow;

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    /// A closed form is no longer the instance, although it is deleted only later.
    void closeEvent(QCloseEvent *event) override;

  private:
    static std::span<const FunctionRow> functionRows();

    void formLoad();
    void showCommonFunctions(bool common);

    void onFunctionChosen();
    void resetArgumentArea();
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
};

} // namespace traxgui

#endif
