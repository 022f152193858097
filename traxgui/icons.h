// The program's own pictures, painted at start-up: one per toolbar button and the
// application icon.
#ifndef TRAXGUI_ICONS_H
#define TRAXGUI_ICONS_H

#include <QIcon>
#include <QList>

namespace traxgui {

/// The four toolbar pictures in button order: device API, OS services, utilities, MT driver.
QList<QIcon> ToolbarIcons();

/// The application's icon, also shown in the About box.
QIcon AppIcon();

} // namespace traxgui

#endif
