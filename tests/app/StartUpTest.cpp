#include "app/Main.h"
#include "data/Data.h"
#include "data/xLib.h"
#include "platform/SingleInstance.h"
#include "support/TestPaths.h"

#include <QLineEdit>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

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
        for (QProcess* process : FProcesses) {
            process->kill();
            process->waitForFinished(5000);
            delete process;
        }
        qputenv("XDG_RUNTIME_DIR", FSavedRuntime);
        qputenv("XDG_CONFIG_HOME", FSavedConfig);
    }

    QProcess* StartProgram(const QStringList& arguments) {
        auto* process = new QProcess;
        FProcesses.append(process);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
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
