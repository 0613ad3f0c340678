#pragma once
#include <QApplication>

// The program's application object. An error that escapes an event or a command ends up
// here and is shown in a message box titled "Lorewick"; the program goes on running.
class TApplication : public QApplication {
    Q_OBJECT
public:
    TApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};

// Shows the message of the error being handled (call it inside a catch block).
void ShowCurrentException();
