// The main window: a multiple-document frame holding the library forms as child windows,
// with the menus, toolbar and status bar that open and arrange them.
#ifndef TRAXGUI_FRMMAIN_H
#define TRAXGUI_FRMMAIN_H

#include "formRegistry.h"

#include <QIcon>
#include <QList>
#include <QMainWindow>
#include <QPointer>

#include <array>
#include <memory>

class QLabel;
class QMdiSubWindow;
class QTimer;

namespace Ui {
class frmMain;
}

namespace traxgui {

class frmMain : public QMainWindow {
    Q_OBJECT

  public:
    /// The single main window, created (and loaded, which opens the device API form) on the
    /// first call.
    static frmMain *Instance();
    /// The main window if it exists, else null.
    static frmMain *Existing();
    ~frmMain() override;

    void ShowTraxApiForm();
    void ShowUsrOssForm();
    void ShowUsrUtlForm();
    void ShowMtDrvForm();
    /// Opens a form: creates and loads it if it is not open, then brings it to the front.
    void ShowForm(FormKind kind);
    /// The open form of this kind, or null.
    QWidget *OpenForm(FormKind kind) const;

    /// Sets the text of the first status bar panel as it is; SetStatusText adds "Status: ".
    void SetStatusPanelText(const QString &text);

    /// Lays the child windows out one above the other, each as wide as the frame.
    void TileHorizontally();

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

    std::unique_ptr<Ui::frmMain> ui_;
    /// The designed caption; the title bar adds the title of a maximized child window.
    QString caption_;
    QList<QIcon> imlToolbarIcons_;
    QLabel *statusPanel_ = nullptr;
    QLabel *datePanel_ = nullptr;
    QLabel *timePanel_ = nullptr;
    QTimer *clock_ = nullptr;
    std::array<QPointer<QMdiSubWindow>, 4> forms_;
};

} // namespace traxgui

#endif
