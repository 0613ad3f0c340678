#include "app/Application.h"

#include "common/Exception.h"
#include "common/Win1252.h"

#include <QMessageBox>

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ShowCurrentException();
        return false;
    }
}

void ShowCurrentException() {
    QString message;
    try {
        throw;
    } catch (const Exception& error) {
        message = AnsiToQString(error.Message());
    } catch (const std::exception& error) {
        message = QString::fromLocal8Bit(error.what());
    } catch (...) {
        message = QStringLiteral("Unknown error");
    }
    QMessageBox::critical(QApplication::activeWindow(), QStringLiteral("Lorewick"), message);
}
