// The least a Qt program does to show a main window: the floor of the program's start.
// Shows a window with a list, lets the event loop run once, says "filled" as the program
// does for the benchmark, and ends.
#include <QApplication>
#include <QListView>
#include <QMainWindow>
#include <QStringListModel>
#include <QTimer>
#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow window;
    QStringListModel model(QStringList{QStringLiteral("Lorewick")});
    auto* list = new QListView(&window);
    list->setModel(&model);
    window.setCentralWidget(list);
    window.resize(258, 434);
    window.show();
    QTimer::singleShot(0, &app, [] {
        std::fputs("filled\n", stdout);
        std::fflush(stdout);
        QCoreApplication::exit(0);
    });
    return app.exec();
}
