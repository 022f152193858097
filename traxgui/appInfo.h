// Facts about the program itself: its title, version and help file. A leaf: it depends on
// nothing else of the program, so every part may use it.
#ifndef TRAXGUI_APPINFO_H
#define TRAXGUI_APPINFO_H

#include <QString>

namespace traxgui {

/// Application title shown in captions of message boxes and the About box.
QString AppTitle();
/// "1.0.0": major, minor and revision of the program.
QString AppVersion();
/// Name of the help file; this program has none.
QString AppHelpFile();

} // namespace traxgui

#endif
