#include "app/Main.h"
#include "data/Data.h"
#include "data/xLib.h"
#include "platform/SingleInstance.h"
#include "support/TestPaths.h"

#include <QLineEdit>
#include <QLocalSocket>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <ranges>

namespace {

// Starts of the real program, each in a runtime and settings folder of this test.
class StartUp : public testing::Test {
protected:
    void SetUp() override {
        FSavedRuntime = qgetenv("XDG_RUNTIME_DIR");
        FSavedConfig = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_RUNTIME_DIR", FRuntime.path().toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", FConfig.path().toLocal8Bit());
    }
    void TearDown() override {
        // Last started first: the program before its X server.
        for (QProcess* process : std::views::reverse(FProcesses)) {
            process->kill();
            process->waitForFinished(5000);
            delete process;
        }
        qputenv("XDG_RUNTIME_DIR", FSavedRuntime);
        qputenv("XDG_CONFIG_HOME", FSavedConfig);
    }

    // Offscreen, or on the X display `display` when one is given.
    QProcess* StartProgram(const QStringList& arguments, const QString& display = {}) {
        auto* process = new QProcess;
        FProcesses.append(process);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        if (display.isEmpty())
            environment.insert("QT_QPA_PLATFORM", "offscreen");
        else {
            environment.remove("QT_QPA_PLATFORM");
            environment.remove("WAYLAND_DISPLAY");
            environment.insert("DISPLAY", display);
        }
        environment.insert("XDG_RUNTIME_DIR", FRuntime.path());
        environment.insert("XDG_CONFIG_HOME", FConfig.path());
        process->setProcessEnvironment(environment);
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(QString::fromStdString(BinDir + "lorewick"),
                       arguments +
                           QStringList{"-data", QString::fromStdString(FixturesDir + "app/Data")});
        EXPECT_TRUE(process->waitForStarted(5000));
        return process;
    }

    // Waits, serving this process's own events meanwhile, until `process` has ended.
    static bool Ended(QProcess* process) {
        return QTest::qWaitFor([process] { return process->state() == QProcess::NotRunning; },
                               20000);
    }

    // True once some instance accepts connections on the socket.
    static bool SomeoneListens() {
        QLocalSocket socket;
        socket.connectToServer(TSingleInstance::SocketPath());
        return socket.waitForConnected(500);
    }

    // A private X server; its display name, or empty when it cannot be started here.
    QString StartXServer() {
        auto* server = new QProcess;
        FProcesses.append(server);
        server->start("Xvfb",
                      {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
        if (!server->waitForStarted(5000) ||
            !QTest::qWaitFor([server] { return server->canReadLine(); }, 10000))
            return {};
        return ":" + QString::fromLatin1(server->readLine()).trimmed();
    }

    // Runs an X client to its end and gives its standard output.
    static QString RunClient(const QString& display, const QString& program,
                             const QStringList& arguments) {
        QProcess client;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("DISPLAY", display);
        client.setProcessEnvironment(environment);
        client.start(program, arguments);
        client.waitForFinished(10000);
        return QString::fromLocal8Bit(client.readAllStandardOutput()).trimmed();
    }

    QTemporaryDir FRuntime;
    QTemporaryDir FConfig;
    QByteArray FSavedRuntime;
    QByteArray FSavedConfig;
    QList<QProcess*> FProcesses;
};

} // namespace

TEST_F(StartUp, ASecondStartHandsOverAndTheRunningInstanceOpensUnlessAutoIsGiven) {
    ResetDatabaseForTesting();
    SetDataDir(FixturesDir + "app/Data/");
    TSingleInstance instance;
    ASSERT_EQ(instance.Start(), TSingleInstance::TRole::First);
    TMainForm form; // waiting hidden, as after a start with "auto"
    form.ServeOtherStarts(instance);

    struct Case {
        QStringList arguments;
        bool opens;
    };
    const Case cases[] = {
        {{}, true},         {{"auto"}, true}, // no switch without its prefix character
        {{"/Auto"}, false}, {{"-AUTO"}, false}, {{"\\auto"}, false}, {{"/debug"}, true},
    };
    for (const Case& c : cases) {
        form.hide();
        QProcess* second = StartProgram(c.arguments);
        ASSERT_TRUE(Ended(second)) << c.arguments.join(' ').toStdString();
        EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(second->exitCode(), 0);
        EXPECT_EQ(form.isVisible(), c.opens) << c.arguments.join(' ').toStdString();
        if (c.opens) {
            EXPECT_EQ(form.focusWidget(), static_cast<QWidget*>(form.SearchEdit));
            EXPECT_NE(Database(), nullptr); // the first show loaded the cards
        }
    }
}

TEST_F(StartUp, ASocketLeftByAKilledInstanceDoesNotBlockTheNextStart) {
    QProcess* first = StartProgram({"/auto"});
    ASSERT_TRUE(QTest::qWaitFor(SomeoneListens, 20000));
    first->kill();
    ASSERT_TRUE(first->waitForFinished(5000));
    ASSERT_TRUE(QFileInfo::exists(TSingleInstance::SocketPath())); // left behind
    ASSERT_FALSE(SomeoneListens());

    QProcess* next = StartProgram({"/auto"});
    ASSERT_TRUE(QTest::qWaitFor(SomeoneListens, 20000));
    EXPECT_EQ(next->state(), QProcess::Running);
    // and it answers a later start
    TSingleInstance later;
    ASSERT_EQ(later.Start(), TSingleInstance::TRole::Second);
    EXPECT_TRUE(later.Send(TInstanceCommand::Open));
    EXPECT_EQ(next->state(), QProcess::Running);
}

TEST_F(StartUp, OnX11TheHiddenInstanceShowsItsWindowOfClassLOREWICKAtASecondStart) {
    for (const char* tool : {"Xvfb", "xdotool", "xprop"})
        if (QStandardPaths::findExecutable(tool).isEmpty())
            GTEST_SKIP() << tool << " is not installed";
    const QString display = StartXServer();
    ASSERT_FALSE(display.isEmpty());
    const auto visibleMainWindows = [&display] {
        return RunClient(display, "xdotool", {"search", "--onlyvisible", "--name", "^Lorewick$"});
    };

    QProcess* first = StartProgram({"/auto"}, display);
    ASSERT_TRUE(QTest::qWaitFor(SomeoneListens, 20000));
    EXPECT_EQ(visibleMainWindows(), "");

    QProcess* second = StartProgram({}, display);
    ASSERT_TRUE(Ended(second));
    EXPECT_EQ(second->exitCode(), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !visibleMainWindows().isEmpty(); }, 10000));
    const QString window = visibleMainWindows().section('\n', 0, 0);
    EXPECT_EQ(RunClient(display, "xprop", {"-id", window, "WM_CLASS"}),
              "WM_CLASS(STRING) = \"lorewick\", \"LOREWICK\"");
    EXPECT_EQ(first->state(), QProcess::Running);
}
