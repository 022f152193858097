// The floor of the start-up benchmark: the least a Qt Widgets program with a
// multiple-document main window does to show itself with one child form, quitting once
// that form has painted itself for the first time, as traxgui does.
#include <QApplication>
#include <QEvent>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTimer>

namespace {

/// The child form: quits after its first paint.
class Form final : public QWidget {
  protected:
    bool event(QEvent *event) override {
        if (event->type() == QEvent::Paint && !painted_) {
            painted_ = true;
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
        return QWidget::event(event);
    }

  private:
    bool painted_ = false;
};

} // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QMainWindow window;
    auto *area = new QMdiArea(&window);
    window.setCentralWidget(area);
    auto *form = new Form;
    form->setMinimumSize(400, 300);
    area->addSubWindow(form)->show();
    window.resize(900, 640);
    window.show();
    return QApplication::exec();
}
