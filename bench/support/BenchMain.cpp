#include <QApplication>
#include <QString>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

QtMessageHandler QtHandler = nullptr;

// The offscreen platform says, at every card window shown, what it cannot do.
void QuietOffscreenWarnings(QtMsgType type, const QMessageLogContext& context,
                            const QString& message) {
    if (type == QtWarningMsg && message.startsWith("This plugin does not support"))
        return;
    QtHandler(type, context, message);
}

} // namespace

// Widgets, fonts and pictures need an application object; benchmarks run without a display.
// Settings, autostart entries and sockets go to a private folder, never the user's.
int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    std::string home = (std::filesystem::temp_directory_path() / "lorewick-bench-XXXXXX").string();
    if (!mkdtemp(home.data()))
        home.clear();
    else {
        setenv("XDG_CONFIG_HOME", home.c_str(), 1);
        setenv("XDG_RUNTIME_DIR", home.c_str(), 1);
    }
    QtHandler = qInstallMessageHandler(QuietOffscreenWarnings);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);
    return 0;
}
