// The baselines of bench_start: a trivial Qt program started the same way.
//   bench_start_baseline show   a plain window; prints "shown" at its first paint
//   bench_start_baseline quit   an application object created, then the end

#include <QApplication>
#include <QEvent>
#include <QWidget>

#include <cstdio>
#include <cstring>

namespace {
class TWindow : public QWidget
{
protected:
    bool event(QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !FShown) {
            FShown = true;
            std::puts("shown");
            std::fflush(stdout);
        }
        return QWidget::event(event);
    }

private:
    bool FShown = false;
};
} // namespace

int main(int argc, char* argv[])
{
    if (argc > 1 && std::strcmp(argv[1], "quit") == 0) {
        QCoreApplication application(argc, argv);
        return 0;
    }
    QApplication application(argc, argv);
    TWindow window;
    window.resize(800, 600);
    window.show();
    return QApplication::exec();
}
