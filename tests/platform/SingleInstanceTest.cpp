#include "platform/SingleInstance.h"

#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// Each test gets its own runtime folder, so no socket of a real instance is ever touched.
class SingleInstance : public testing::Test {
protected:
    void SetUp() override {
        FSavedRuntime = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", FRuntime.path().toLocal8Bit());
    }
    void TearDown() override { qputenv("XDG_RUNTIME_DIR", FSavedRuntime); }

    // Runs `client` on its own thread while this thread keeps serving events, as another
    // process would talk to the running instance.
    template <typename Client> void RunClient(Client client) {
        QThread* thread = QThread::create(client);
        thread->start();
        EXPECT_TRUE(QTest::qWaitFor([thread] { return thread->isFinished(); }, 10000));
        delete thread;
    }

    QTemporaryDir FRuntime;
    QByteArray FSavedRuntime;
};

// What a crashed instance leaves: a socket file that nobody listens on.
void LeaveStaleSocket(const QString& path) {
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = path.toLocal8Bit();
    std::copy(name.begin(), name.end(), address.sun_path);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    close(fd);
}

// Sends raw bytes and collects whatever comes back before the server goes quiet.
QByteArray Exchange(const QByteArray& bytes) {
    QLocalSocket socket;
    socket.connectToServer(TSingleInstance::SocketPath());
    if (!socket.waitForConnected(2000))
        return "not connected";
    socket.write(bytes);
    socket.waitForBytesWritten(2000);
    QByteArray answer;
    while (socket.waitForReadyRead(500))
        answer += socket.readAll();
    return answer;
}

} // namespace

TEST_F(SingleInstance, FirstStartListensInTheRuntimeFolderAndALaterStartFindsIt) {
    TSingleInstance first;
    ASSERT_EQ(first.Start(), TSingleInstance::TRole::First);
    EXPECT_EQ(TSingleInstance::SocketPath(), FRuntime.path() + "/LOREWICK");
    EXPECT_TRUE(QFileInfo::exists(TSingleInstance::SocketPath()));
    // the start-up lock is only held while the role is decided
    EXPECT_FALSE(QFileInfo::exists(TSingleInstance::SocketPath() + ".lock"));

    TSingleInstance second;
    EXPECT_EQ(second.Start(), TSingleInstance::TRole::Second);
}

TEST_F(SingleInstance, CommandsAreHandledByTheRunningInstanceBeforeTheyAreAcknowledged) {
    TSingleInstance first;
    ASSERT_EQ(first.Start(), TSingleInstance::TRole::First);
    int opened = 0;
    int searched = 0;
    QObject::connect(&first, &TSingleInstance::OpenRequested, [&] { ++opened; });
    QObject::connect(&first, &TSingleInstance::SearchRequested, [&] { ++searched; });

    bool openAcknowledged = false;
    int openedWhenAcknowledged = -1;
    RunClient([&] {
        TSingleInstance second;
        if (second.Start() != TSingleInstance::TRole::Second)
            return;
        openAcknowledged = second.Send(TInstanceCommand::Open);
        openedWhenAcknowledged = opened;
    });
    EXPECT_TRUE(openAcknowledged);
    EXPECT_EQ(openedWhenAcknowledged, 1);

    bool searchAcknowledged = false;
    RunClient([&] {
        TSingleInstance second;
        if (second.Start() == TSingleInstance::TRole::Second)
            searchAcknowledged = second.Send(TInstanceCommand::Search);
    });
    EXPECT_TRUE(searchAcknowledged);
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(searched, 1);
}

TEST_F(SingleInstance, UnknownLinesAreIgnoredAndOverlongOnesDropTheConnection) {
    TSingleInstance first;
    ASSERT_EQ(first.Start(), TSingleInstance::TRole::First);
    QSignalSpy opened(&first, &TSingleInstance::OpenRequested);
    QSignalSpy searched(&first, &TSingleInstance::SearchRequested);

    QByteArray answer;
    RunClient([&] { answer = Exchange("OPEN\nopen now\nexit\n\nopen\n"); });
    EXPECT_EQ(answer, "ok\n"); // only the one known command
    EXPECT_EQ(opened.count(), 1);

    RunClient([&] { answer = Exchange(QByteArray(100, 'x') + "\nopen\n"); });
    EXPECT_EQ(answer, "");
    EXPECT_EQ(opened.count(), 1);
    EXPECT_EQ(searched.count(), 0);
}

TEST_F(SingleInstance, SocketLeftByACrashedInstanceIsReplaced) {
    LeaveStaleSocket(TSingleInstance::SocketPath());
    TSingleInstance next;
    ASSERT_EQ(next.Start(), TSingleInstance::TRole::First);
    QSignalSpy opened(&next, &TSingleInstance::OpenRequested);
    QByteArray answer;
    RunClient([&] { answer = Exchange("open\n"); });
    EXPECT_EQ(answer, "ok\n");
    EXPECT_EQ(opened.count(), 1);
}

TEST_F(SingleInstance, WithoutARuntimeFolderAPrivateFolderUnderTmpIsUsed) {
    qunsetenv("XDG_RUNTIME_DIR");
    const QString folder = TSingleInstance::RuntimeFolder();
    EXPECT_EQ(folder, QString("/tmp/lorewick-%1").arg(getuid()));
    struct stat info {};
    ASSERT_EQ(lstat(folder.toLocal8Bit().constData(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_uid, getuid());
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}
