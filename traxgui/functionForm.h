// What the forms built around a function list share: the list with its placeholder, the
// lookup of a function's row by name, the three argument captions and boxes in fixed
// columns, widgets that keep their place when hidden, read-only boxes outside the tab order,
// and a status box that returns to neutral when the call button loses the focus. Each form keeps
// its own table of rows and what differs.
#ifndef TRAXGUI_FUNCTIONFORM_H
#define TRAXGUI_FUNCTIONFORM_H

#include "modTraxgui.h"

#include <QComboBox>
#include <QLineEdit>
#include <QString>
#include <QStringList>

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>

class QLabel;
class QPushButton;
class QWidget;

namespace traxgui {

/// The text the function list shows while no function is chosen.
inline constexpr char kFunctionPlaceholder[] = "----------------- function -----------------";

/// Fills the list with the names of the rows in table order and shows the placeholder, with
/// no function chosen.
template <typename Row> void OfferFunctions(QComboBox *list, std::span<const Row> rows) {
    for (const Row &row : rows)
        list->addItem(QLatin1String(row.name));
    list->setCurrentIndex(-1);
    list->setEditText(QLatin1String(kFunctionPlaceholder));
}

/// The row whose name is the text, or null for any other text (the placeholder included).
template <typename Row> const Row *FindFunctionRow(std::span<const Row> rows, const QString &name) {
    for (const Row &row : rows) {
        if (name == QLatin1String(row.name))
            return &row;
    }
    return nullptr;
}

/// The caption of argument 0, 1 or 2 of a form whose designer names them lblArg0..lblArg2.
template <typename Ui> QLabel *ArgLabel(const Ui &ui, int index) {
    const std::array<QLabel *, 3> labels{ui.lblArg0, ui.lblArg1, ui.lblArg2};
    return labels[static_cast<size_t>(index)];
}

/// The text box of argument 0, 1 or 2 of a form whose designer names them txtArg0..txtArg2.
template <typename Ui> QLineEdit *ArgBox(const Ui &ui, int index) {
    const std::array<QLineEdit *, 3> boxes{ui.txtArg0, ui.txtArg1, ui.txtArg2};
    return boxes[static_cast<size_t>(index)];
}

/// Reads the number in argument box 0, 1 or 2 as ArgToLong does: on a text that is no
/// number it warns with the argument's name, leaves value unchanged and returns false.
template <typename Ui>
bool ReadArg(const Ui &ui, int index, int32_t &value, const QString &argName) {
    return ArgToLong(ArgBox(ui, index)->text(), value, argName);
}

/// Lets the widgets keep their place in the layout while hidden, so that a form does not
/// jump around as parts of it are shown and hidden.
void KeepPlaceWhenHidden(std::initializer_list<QWidget *> widgets);

/// Makes the label exactly as wide as the widest of the captions, so that its column keeps
/// its width whichever of them it shows.
void ReserveWidthFor(QLabel *label, const QStringList &captions);

/// Keeps the argument captions (lblArg0..lblArg2) and the return caption (lblRet) in columns
/// of fixed width: each is as wide as the widest caption that the designer, the form's reset
/// (the extra captions) or any row gives it, so that neither labels nor boxes move sideways
/// when another function is chosen.
template <typename Ui, typename Row>
void FixCaptionColumns(const Ui &ui, std::span<const Row> rows, QStringList argCaptions,
                       QStringList retCaptions) {
    for (int i = 0; i < 3; ++i)
        argCaptions << ArgLabel(ui, i)->text();
    retCaptions << ui.lblRet->text();
    for (const Row &row : rows) {
        for (const auto &arg : row.args) {
            if (arg.caption != nullptr)
                argCaptions << QLatin1String(arg.caption);
        }
        if (row.retCaption != nullptr)
            retCaptions << QLatin1String(row.retCaption);
    }
    for (int i = 0; i < 3; ++i)
        ReserveWidthFor(ArgLabel(ui, i), argCaptions);
    ReserveWidthFor(ui.lblRet, retCaptions);
}

/// Takes the form's read-only text boxes out of the tab order: they show results, so the
/// keyboard skips them; a click still gives them the focus for copying.
void NoTabStopsOnReadOnlyBoxes(QWidget *form);

/// Returns the status box to its neutral look whenever the call button loses the focus; a
/// message box or another window taking the focus does not count as losing it.
void NeutralWhenCallButtonLeft(QPushButton *callButton, QLineEdit *statusBox);

} // namespace traxgui

#endif
