// The main window: a multiple-document frame holding the library forms as child windows,
// with the menus, toolbar and status bar that open and arrange them. It alone creates and
// finds the forms; they report their status to it by signal, and it hands the signals that
// the handler receives to the OS-services form.
#ifndef TRAXGUI_FRMMAIN_H
#define TRAXGUI_FRMMAIN_H

#include "formRegistry.h"

#include <QIcon>
#include <QList>
#include <QMainWindow>

#include <cstdint>
#include <memory>

class QLabel;
class QMdiSubWindow;
class QTimer;

namespace Ui {
class frmMain;
}

namespace traxgui {

/// Creates the main window if it does not exist yet and shows it.
void Main();

class frmMain : public QMainWindow {
    Q_OBJECT

  public:
    /// The single main window, created (and loaded, which opens the device API form) on the
    /// first call.
    static frmMain *instance();
    /// The main window if it exists, else null.
    static frmMain *existing();
    ~frmMain() override;

    void ShowTraxApiForm();
    void ShowUsrOssForm();
    void ShowUsrUtlForm();
    void ShowMtDrvForm();
    /// Opens a form: creates and loads it if it is not open (or shows the one that a signal
    /// loaded hidden), then brings it to the front.
    void showForm(FormKind kind);
    /// The form of this kind in the window, open or loaded hidden; null if there is none.
    QWidget *openForm(FormKind kind) const;

    /// Sets the text of the first status bar panel as it is.
    void setStatusPanelText(const QString &text);

    /// Lays the child windows out one above the other, each as wide as the frame, sharing
    /// its height; none gets smaller than its minimum size, and the frame scrolls to show
    /// what does not fit.
    void tileHorizontally();

  private:
    frmMain();
    void load();
    void connectMenus();
    void createToolbarButtons();
    void createStatusPanels();
    void updateDateTime();
    void onToolbarButtonClick(const QString &key);
    void showHelp();
    void showAbout();
    /// Shows "Status: " + text, the status that a form reported.
    void showFormStatus(const QString &text);
    /// Gives a received signal to the OS-services form, loading it hidden if it is closed.
    void showReceivedSignal(uint32_t sigCode);
    /// The sub-window of the form of this kind, open or loaded hidden; null if there is none.
    QMdiSubWindow *formWindow(FormKind kind) const;
    /// Creates and loads the form of this kind in a new sub-window that is not shown yet;
    /// null for a form that is not built in.
    QMdiSubWindow *loadForm(FormKind kind);

    std::unique_ptr<Ui::frmMain> ui_;
    /// The designed caption; the title bar adds the title of a maximized child window.
    QString caption_;
    QList<QIcon> imlToolbarIcons_;
    QLabel *statusPanel_ = nullptr;
    QLabel *datePanel_ = nullptr;
    QLabel *timePanel_ = nullptr;
    QTimer *clock_ = nullptr;
};

} // namespace traxgui

#endif
