#include "app/Main.h"
#include "app/Application.h"
#include "app/CommandLine.h"
#include "common/ExtUtils.h"
#include "platform/SingleInstance.h"

#include <QStringList>
#include <QTimer>
#include <cstdio>

namespace {

QStringList ArgumentsOf(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

int RunMainWindow(TSingleInstance& instance, bool autoSwitch, bool debugSwitch, bool searchSwitch) {
    TMainForm form(debugSwitch);
    form.ServeOtherStarts(instance);
    // "-search" starts hidden, so that the search copies the selection of the program in front.
    if (searchSwitch)
        QTimer::singleShot(0, &form, &TMainForm::SearchFromOtherStart);
    else if (!autoSwitch)
        form.show();
    // For the start-up benchmark: once the shown window has filled its list and the event
    // loop runs, say so on standard output and end.
    if (qEnvironmentVariableIsSet("LOREWICK_QUIT_AFTER_FILL"))
        QTimer::singleShot(0, &form, [] {
            std::fputs("filled\n", stdout);
            std::fflush(stdout);
            QCoreApplication::exit(0);
        });
    return QApplication::exec();
}

} // namespace

int main(int argc, char** argv) {
    ResetLogFile();
    const QStringList arguments = ArgumentsOf(argc, argv);
    if (const auto status = RunCommandLineMode(arguments))
        return *status;
    const bool autoSwitch = HasSwitch(arguments, "auto");
    const bool debugSwitch = HasSwitch(arguments, "debug");
    // For desktops that allow no global grabs: bound to a key in the desktop's own settings.
    const bool searchSwitch = HasSwitch(arguments, "search");

    TApplication application(argc, argv);
    QApplication::setApplicationName("Lorewick");
    ApplyDataSwitch(arguments);

    TSingleInstance instance;
    if (instance.Start() == TSingleInstance::TRole::Second) {
        // With "auto" the running instance is left as it is.
        if (searchSwitch)
            instance.Send(TInstanceCommand::Search);
        else if (!autoSwitch)
            instance.Send(TInstanceCommand::Open);
        return 0;
    }
    try {
        return RunMainWindow(instance, autoSwitch, debugSwitch, searchSwitch);
    } catch (...) {
        // A start that fails before the message loop runs (settings that cannot be read).
        ShowCurrentException();
        return 1;
    }
}
