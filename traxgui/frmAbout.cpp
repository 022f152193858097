#include "frmAbout.h"

#include "appInfo.h"
#include "icons.h"
#include "msgbox.h"
#include "ui_frmAbout.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <algorithm>
#include <array>
#include <cstring>

namespace traxgui {
namespace {

/// Query, set, create sub-key, enumerate, notify, create link and read control.
constexpr REGSAM kKeyAccess = 0x2003F;
constexpr DWORD kValueBufferSize = 1024;

const char kSysInfoKey[] = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const char kSysInfoValue[] = "PATH";
const char kSysInfoLocationKey[] = "SOFTWARE\\Microsoft\\Shared Tools Location";
const char kSysInfoLocationValue[] = "MSINFO";
const char kSysInfoProgram[] = "MSINFO32.EXE";

/// The program registered as system-information tool, or an empty text.
QString findSysInfoProgram() {
    QString program;
    if (GetKeyValue(HKEY_LOCAL_MACHINE, QLatin1String(kSysInfoKey), QLatin1String(kSysInfoValue),
                    program))
        return program;
    QString folder;
    if (GetKeyValue(HKEY_LOCAL_MACHINE, QLatin1String(kSysInfoLocationKey),
                    QLatin1String(kSysInfoLocationValue), folder)) {
        const QString candidate = folder + QDir::separator() + QLatin1String(kSysInfoProgram);
        if (QFileInfo(candidate).isFile())
            return candidate;
    }
    return QString();
}

} // namespace

bool GetKeyValue(HKEY root, const QString &keyName, const QString &valueName, QString &text) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, keyName.toLatin1().constData(), 0, kKeyAccess, &key) != ERROR_SUCCESS) {
        text.clear();
        return false;
    }
    std::array<char, kValueBufferSize> data{};
    DWORD size = kValueBufferSize;
    DWORD type = REG_NONE;
    const LONG status = RegQueryValueExA(key, valueName.toLatin1().constData(), nullptr, &type,
                                         reinterpret_cast<LPBYTE>(data.data()), &size);
    if (status != ERROR_SUCCESS) {
        text.clear();
        RegCloseKey(key);
        return false;
    }
    const size_t length = std::min<size_t>(size, kValueBufferSize);
    const auto zero = std::find(data.begin(), data.begin() + length, '\0');
    if (type == REG_SZ) {
        text = QString::fromLatin1(data.data(), static_cast<qsizetype>(zero - data.begin()));
    } else if (type == REG_DWORD && length >= sizeof(DWORD)) {
        DWORD number = 0;
        std::memcpy(&number, data.data(), sizeof(number));
        text = QStringLiteral("&h") + QString::number(number, 16);
    }
    RegCloseKey(key);
    return true;
}

frmAbout::frmAbout(QWidget *parent) : QDialog(parent), ui_(std::make_unique<Ui::frmAbout>()) {
    ui_->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setModal(true);
    ui_->picIcon->setPixmap(AppIcon().pixmap(32, 32));
    ui_->lblTitle->setText(AppTitle());
    ui_->lblVersion->setText(QStringLiteral("Version ") + AppVersion());
    // OK is both the default button (Enter) and the cancel button (Escape, handled by
    // QDialog::reject).
    connect(ui_->cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui_->cmdSysInfo, &QPushButton::clicked, this, &frmAbout::StartSysInfo);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

frmAbout::~frmAbout() = default;

void frmAbout::StartSysInfo() {
    const QString program = findSysInfoProgram();
    if (program.isEmpty() || !QProcess::startDetached(program, {})) {
        MsgBox(QStringLiteral("System Information Is Unavailable At This Time"),
               QMessageBox::NoIcon, QMessageBox::Ok, AppTitle());
    }
}

} // namespace traxgui
