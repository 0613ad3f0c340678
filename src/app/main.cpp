#include "app/Main.h"
#include "app/Application.h"
#include "app/CommandLine.h"
#include "common/ExtUtils.h"
#include "platform/SingleInstance.h"

#include <QStringList>

namespace {

QStringList ArgumentsOf(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

int RunMainWindow(TSingleInstance& instance, bool autoSwitch, bool debugSwitch) {
    TMainForm form(debugSwitch);
    form.ServeOtherStarts(instance);
    if (!autoSwitch)
        form.show();
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

    TApplication application(argc, argv);
    QApplication::setApplicationName("Lorewick");
    ApplyDataSwitch(arguments);

    TSingleInstance instance;
    if (instance.Start() == TSingleInstance::TRole::Second) {
        // With "auto" the running instance is left as it is.
        if (!autoSwitch)
            instance.Send(TInstanceCommand::Open);
        return 0;
    }
    try {
        return RunMainWindow(instance, autoSwitch, debugSwitch);
    } catch (...) {
        // A start that fails before the message loop runs (settings that cannot be read).
        ShowCurrentException();
        return 1;
    }
}
