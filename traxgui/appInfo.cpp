#include "appInfo.h"

namespace traxgui {

QString AppTitle() {
    return QStringLiteral("traxgui (free build)");
}

QString AppVersion() {
    constexpr int major = 1, minor = 0, revision = 0;
    return QStringLiteral("%1.%2.%3").arg(major).arg(minor).arg(revision);
}

QString AppHelpFile() {
    return QString();
}

} // namespace traxgui
