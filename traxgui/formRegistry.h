// The library forms that the main window can open, in one table: which menu entry and
// toolbar button opens each, and how it is created. A form whose factory is null is not
// built into the program yet; its menu entry and toolbar button stay disabled.
#ifndef TRAXGUI_FORMREGISTRY_H
#define TRAXGUI_FORMREGISTRY_H

#include <QStringView>

#include <span>

namespace traxgui {

class TraxForm;

enum class FormKind { TraxApi, UsrOss, UsrUtl, MtDrv };

/// Creates a form without parent; its load procedure has not run yet.
using FormFactory = TraxForm *(*)();

struct FormEntry {
    FormKind kind;
    const char *toolbarKey;     ///< key of the toolbar button, e.g. "TRAX_API"
    const char *toolbarCaption; ///< caption under the button's picture
    const char *toolbarTooltip;
    const char *menuAction; ///< object name of the menu entry, e.g. "mnuMlibTraxApi"
    FormFactory create;     ///< null while the form is not built in
};

/// Every form in toolbar order.
std::span<const FormEntry> Forms();

/// The form whose toolbar button has this key, or null.
const FormEntry *FindFormByKey(QStringView key);

/// The entry of a form kind.
const FormEntry &FormOf(FormKind kind);

} // namespace traxgui

#endif
