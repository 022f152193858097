// The About box: program title and version, a description, and a button that starts the
// operating system's system-information tool where one is registered.
#ifndef TRAXGUI_FRMABOUT_H
#define TRAXGUI_FRMABOUT_H

#include <trax_win32.h>

#include <QDialog>

#include <memory>

namespace Ui {
class frmAbout;
}

namespace traxgui {

/// Reads a registry value as text: a string value as it is (up to its first zero), a 32-bit
/// number as "&h" and hexadecimal digits. Returns false, with text emptied, when the key
/// cannot be opened or the value cannot be read.
bool GetKeyValue(HKEY root, const QString &keyName, const QString &valueName, QString &text);

class frmAbout : public QDialog {
    Q_OBJECT

  public:
    explicit frmAbout(QWidget *parent = nullptr);
    ~frmAbout() override;

    /// Starts the system-information tool without waiting for it, or shows that none is
    /// available.
    void StartSysInfo();

  private:
    std::unique_ptr<Ui::frmAbout> ui_;
};

} // namespace traxgui

#endif
