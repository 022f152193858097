// What every library form offers the main window: a load procedure that the window runs
// once it has connected to the form, and the signal by which the form reports a new
// program status for the status bar.
#ifndef TRAXGUI_TRAXFORM_H
#define TRAXGUI_TRAXFORM_H

#include <QString>
#include <QWidget>

namespace traxgui {

class TraxForm : public QWidget {
    Q_OBJECT

  public:
    using QWidget::QWidget;

    /// Runs the form's load procedure. The main window calls it once, after connecting to
    /// the form's signals, so that what the load reports reaches the window.
    virtual void load() {}

  signals:
    /// The program status has changed; the main window shows "Status: " + text.
    void statusChanged(const QString &text);
};

} // namespace traxgui

#endif
