#include "functionForm.h"

#include "modTraxgui.h"

#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSizePolicy>

#include <algorithm>

namespace traxgui {
namespace {

/// Watches a call button for the loss of the focus and then shows the status box neutral.
/// It lives as a child of the button; the status box is held weakly, because the form may
/// destroy it before the button.
class NeutralOnFocusOut : public QObject {
  public:
    NeutralOnFocusOut(QPushButton *button, QLineEdit *statusBox)
        : QObject(button), statusBox_(statusBox) {}

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == QEvent::FocusOut && statusBox_ != nullptr) {
            // Another window, a popup or the menu bar taking the focus is no move to
            // another control of the program.
            const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
            if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason &&
                reason != Qt::MenuBarFocusReason)
                ShowStatusNeutral(statusBox_);
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    QPointer<QLineEdit> statusBox_;
};

} // namespace

void KeepPlaceWhenHidden(std::initializer_list<QWidget *> widgets) {
    for (QWidget *widget : widgets) {
        QSizePolicy policy = widget->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        widget->setSizePolicy(policy);
    }
}

void ReserveWidthFor(QLabel *label, const QStringList &captions) {
    int widest = 0;
    for (const QString &caption : captions)
        widest = std::max(widest, label->fontMetrics().horizontalAdvance(caption));
    const QMargins margins = label->contentsMargins();
    label->setFixedWidth(widest + margins.left() + margins.right() + 2 * label->margin());
}

void NoTabStopsOnReadOnlyBoxes(QWidget *form) {
    for (QLineEdit *box : form->findChildren<QLineEdit *>()) {
        if (box->isReadOnly())
            box->setFocusPolicy(Qt::ClickFocus);
    }
}

void NeutralWhenCallButtonLeft(QPushButton *callButton, QLineEdit *statusBox) {
    callButton->installEventFilter(new NeutralOnFocusOut(callButton, statusBox));
}

} // namespace traxgui
