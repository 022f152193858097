#include "frmMain.h"

#include "appInfo.h"
#include "frmAbout.h"
#include "frmUsrOss.h"
#include "functionForm.h"
#include "icons.h"
#include "modSigHdlr.h"
#include "msgbox.h"
#include "traxForm.h"
#include "ui_frmMain.h"

#include <QDateTime>
#include <QDesktopServices>
#include <QLabel>
#include <QLocale>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QScrollBar>
#include <QTimer>
#include <QUrl>

#include <algorithm>

namespace traxgui {
namespace {

QPointer<frmMain> &mainWindow() {
    static QPointer<frmMain> window;
    return window;
}

constexpr int kClockIntervalMs = 1000;

/// Sub-window properties: the kind of form it holds, and whether a signal loaded it hidden
/// (a hidden sub-window without that mark is a closed one, waiting to be deleted).
constexpr char kFormKindProperty[] = "formKind";
constexpr char kLoadedHiddenProperty[] = "loadedHidden";

} // namespace

void Main() {
    frmMain::instance()->show();
}

frmMain *frmMain::instance() {
    if (mainWindow().isNull()) {
        mainWindow() = new frmMain();
        mainWindow()->load();
    }
    return mainWindow();
}

frmMain *frmMain::existing() {
    return mainWindow();
}

frmMain::frmMain() : ui_(std::make_unique<Ui::frmMain>()) {
    ui_->setupUi(this);
    caption_ = windowTitle();
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowIcon(AppIcon());
    // The toolbar and status bar are shown and hidden through the View menu only, so that
    // its check marks always tell the truth.
    setContextMenuPolicy(Qt::PreventContextMenu);
    ui_->mdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    ui_->mdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    QAction *bar = ui_->mnuHelp->insertSeparator(ui_->mnuHelpAbout);
    bar->setObjectName(QStringLiteral("mnuHelpBar0"));
    connectMenus();
    createToolbarButtons();
    createStatusPanels();
    connect(PrepareSignalHandOver(), &SignalHandOver::signalReceived, this,
            &frmMain::showReceivedSignal);
}

frmMain::~frmMain() = default;

void frmMain::load() {
    ShowTraxApiForm();
}

void frmMain::connectMenus() {
    connect(ui_->mnuMlibTraxApi, &QAction::triggered, this, &frmMain::ShowTraxApiForm);
    connect(ui_->mnuMlibUsrOss, &QAction::triggered, this, &frmMain::ShowUsrOssForm);
    connect(ui_->mnuMlibUsrUtl, &QAction::triggered, this, &frmMain::ShowUsrUtlForm);
    connect(ui_->mnuMdrvMT, &QAction::triggered, this, &frmMain::ShowMtDrvForm);
    connect(ui_->mnuViewToolbar, &QAction::toggled, ui_->tbToolBar, &QWidget::setVisible);
    connect(ui_->mnuViewStatusBar, &QAction::toggled, ui_->sbStatusBar, &QWidget::setVisible);
    connect(ui_->mnuWindowCascade, &QAction::triggered, ui_->mdiArea, &QMdiArea::cascadeSubWindows);
    connect(ui_->mnuWindowTile, &QAction::triggered, this, &frmMain::tileHorizontally);
    connect(ui_->mnuHelpContents, &QAction::triggered, this, &frmMain::showHelp);
    connect(ui_->mnuHelpSearchForHelpOn, &QAction::triggered, this, &frmMain::showHelp);
    connect(ui_->mnuHelpAbout, &QAction::triggered, this, &frmMain::showAbout);
    for (const FormEntry &form : Forms()) {
        if (auto *entry = findChild<QAction *>(QLatin1String(form.menuAction)))
            entry->setEnabled(form.create != nullptr);
    }
}

void frmMain::createToolbarButtons() {
    imlToolbarIcons_ = ToolbarIcons();
    int index = 0;
    for (const FormEntry &form : Forms()) {
        const QString key = QLatin1String(form.toolbarKey);
        QAction *button = ui_->tbToolBar->addAction(imlToolbarIcons_.value(index++),
                                                    QLatin1String(form.toolbarCaption));
        button->setObjectName(QStringLiteral("tbToolBar_") + key);
        button->setData(key);
        button->setToolTip(QLatin1String(form.toolbarTooltip));
        button->setEnabled(form.create != nullptr);
        connect(button, &QAction::triggered, this, [this, key] { onToolbarButtonClick(key); });
    }
}

void frmMain::createStatusPanels() {
    statusPanel_ = new QLabel(QStringLiteral("Status"), ui_->sbStatusBar);
    statusPanel_->setObjectName(QStringLiteral("Status"));
    datePanel_ = new QLabel(ui_->sbStatusBar);
    datePanel_->setObjectName(QStringLiteral("Date"));
    timePanel_ = new QLabel(ui_->sbStatusBar);
    timePanel_->setObjectName(QStringLiteral("Time"));
    ui_->sbStatusBar->addWidget(statusPanel_, 1);
    ui_->sbStatusBar->addPermanentWidget(datePanel_);
    ui_->sbStatusBar->addPermanentWidget(timePanel_);
    clock_ = new QTimer(this);
    connect(clock_, &QTimer::timeout, this, &frmMain::updateDateTime);
    clock_->start(kClockIntervalMs);
    updateDateTime();
}

void frmMain::updateDateTime() {
    const QDateTime now = QDateTime::currentDateTime();
    const QLocale locale;
    datePanel_->setText(
        QStringLiteral(" %1 ").arg(locale.toString(now.date(), QLocale::ShortFormat)));
    timePanel_->setText(
        QStringLiteral(" %1 ").arg(locale.toString(now.time(), QLocale::ShortFormat)));
}

void frmMain::ShowTraxApiForm() {
    showForm(FormKind::TraxApi);
}

void frmMain::ShowUsrOssForm() {
    showForm(FormKind::UsrOss);
}

void frmMain::ShowUsrUtlForm() {
    showForm(FormKind::UsrUtl);
}

void frmMain::ShowMtDrvForm() {
    showForm(FormKind::MtDrv);
}

void frmMain::showForm(FormKind kind) {
    QMdiSubWindow *window = formWindow(kind);
    if (window == nullptr)
        window = loadForm(kind);
    if (window == nullptr)
        return;
    window->setProperty(kLoadedHiddenProperty, false);
    window->show();
    ui_->mdiArea->setActiveSubWindow(window);
    window->raise();
    window->widget()->setFocus();
}

QWidget *frmMain::openForm(FormKind kind) const {
    const QMdiSubWindow *window = formWindow(kind);
    return window == nullptr ? nullptr : window->widget();
}

QMdiSubWindow *frmMain::formWindow(FormKind kind) const {
    for (QMdiSubWindow *window : ui_->mdiArea->subWindowList()) {
        if (window->property(kFormKindProperty) != QVariant(static_cast<int>(kind)))
            continue;
        if (!window->isHidden() || window->property(kLoadedHiddenProperty).toBool())
            return window;
    }
    return nullptr;
}

QMdiSubWindow *frmMain::loadForm(FormKind kind) {
    const FormEntry &entry = FormOf(kind);
    if (entry.create == nullptr)
        return nullptr;
    TraxForm *form = entry.create();
    connect(form, &TraxForm::statusChanged, this, &frmMain::showFormStatus);
    form->load();
    NoTabStopsOnReadOnlyBoxes(form);
    QMdiSubWindow *window = ui_->mdiArea->addSubWindow(form);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowIcon(form->windowIcon());
    window->setProperty(kFormKindProperty, static_cast<int>(kind));
    return window;
}

void frmMain::showReceivedSignal(uint32_t sigCode) {
    QMdiSubWindow *window = formWindow(FormKind::UsrOss);
    if (window == nullptr) {
        window = loadForm(FormKind::UsrOss);
        if (window == nullptr)
            return; // the form is not built in
        window->setProperty(kLoadedHiddenProperty, true);
        window->hide();
    }
    if (auto *form = qobject_cast<frmUsrOss *>(window->widget()))
        form->showReceivedSignal(sigCode);
}

void frmMain::onToolbarButtonClick(const QString &key) {
    if (const FormEntry *entry = FindFormByKey(key))
        showForm(entry->kind);
}

void frmMain::setStatusPanelText(const QString &text) {
    statusPanel_->setText(text);
}

void frmMain::showFormStatus(const QString &text) {
    setStatusPanelText(QStringLiteral("Status: ") + text);
}

void frmMain::tileHorizontally() {
    QList<QMdiSubWindow *> windows;
    for (QMdiSubWindow *window : ui_->mdiArea->subWindowList()) {
        if (window->isVisible() && !window->isMinimized())
            windows.append(window);
    }
    if (windows.isEmpty())
        return;
    // Laid out from the top left of the whole area, not of the part scrolled to.
    ui_->mdiArea->horizontalScrollBar()->setValue(0);
    ui_->mdiArea->verticalScrollBar()->setValue(0);
    const QRect area = ui_->mdiArea->viewport()->rect();
    const int share = area.height() / static_cast<int>(windows.size());
    QList<int> heights;
    int total = 0;
    for (QMdiSubWindow *window : windows) {
        window->showNormal();
        heights.append(std::max(share, window->minimumSizeHint().height()));
        total += heights.last();
    }
    // Windows taller than the area together make it scroll; the scroll bar takes width.
    int width = area.width();
    if (total > area.height())
        width -= ui_->mdiArea->verticalScrollBar()->sizeHint().width();
    int top = 0;
    for (qsizetype i = 0; i < windows.size(); ++i) {
        QMdiSubWindow *window = windows[i];
        window->setGeometry(0, top, std::max(width, window->minimumSizeHint().width()), heights[i]);
        top += heights[i];
    }
}

void frmMain::showHelp() {
    const QString helpFile = AppHelpFile();
    if (helpFile.isEmpty()) {
        MsgBox(QStringLiteral("Unable to display Help Contents. There is no Help associated "
                              "with this project."),
               QMessageBox::Information, QMessageBox::Ok, caption_);
        return;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(helpFile))) {
        MsgBox(QStringLiteral("The help viewer could not be started for '%1'.").arg(helpFile),
               QMessageBox::NoIcon, QMessageBox::Ok, caption_);
    }
}

void frmMain::showAbout() {
    frmAbout about(this);
    about.exec();
}

} // namespace traxgui
