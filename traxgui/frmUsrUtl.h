// The utility form: calls the identification, hexadecimal-text and bit-dump functions of the
// utility library and prints one line per call into its output area.
#ifndef TRAXGUI_FRMUSRUTL_H
#define TRAXGUI_FRMUSRUTL_H

#include "traxForm.h"

#include <memory>

namespace Ui {
class frmUsrUtl;
}

namespace traxgui {

class frmUsrUtl : public TraxForm {
    Q_OBJECT

  public:
    /// Creates the form with its designed texts.
    explicit frmUsrUtl(QWidget *parent = nullptr);
    ~frmUsrUtl() override;

  private:
    void onIdent();
    void onAtox();
    void onBindump();
    void printLine(const QString &line);

    std::unique_ptr<Ui::frmUsrUtl> ui_;
};

} // namespace traxgui

#endif
