#include "platform/SingleInstance.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QWidget>
#include <cerrno>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>
#include <xcb/xcb.h>

namespace {

const char* const InstanceName = "LOREWICK";
const char* const Acknowledgement = "ok";
// A command is a short word; a longer line is not ours and is dropped unread.
const qint64 MaxLineLength = 64;
const int ProbeTimeoutMs = 2000;
const int LockTimeoutMs = 10000;

void Warn(const QString& text) {
    std::fprintf(stderr, "Lorewick: %s\n", qPrintable(text));
}

// The fallback folder lives in the shared /tmp, so another user could have made it first:
// use it only when it is a real folder of ours that nobody else can enter.
bool IsPrivateFolder(const QByteArray& path) {
    struct stat info {};
    if (lstat(path.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != getuid())
        return false;
    if ((info.st_mode & 077) != 0 && chmod(path.constData(), 0700) != 0)
        return false;
    return true;
}

QString FallbackFolder() {
    const QByteArray path = "/tmp/lorewick-" + QByteArray::number(getuid());
    if (mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        return {};
    return IsPrivateFolder(path) ? QString::fromLocal8Bit(path) : QString();
}

// Written when it goes out of scope, so the sender is answered also when handling failed.
class TAcknowledgeOnExit {
public:
    explicit TAcknowledgeOnExit(QLocalSocket* socket) : FSocket(socket) {}
    ~TAcknowledgeOnExit() {
        FSocket->write(QByteArray(Acknowledgement) + '\n');
        FSocket->flush();
    }

private:
    QLocalSocket* FSocket;
};

} // namespace

QByteArray InstanceCommandText(TInstanceCommand command) {
    return command == TInstanceCommand::Open ? "open" : "search";
}

std::optional<TInstanceCommand> ParseInstanceCommand(const QByteArray& line) {
    for (const auto command : {TInstanceCommand::Open, TInstanceCommand::Search})
        if (line == InstanceCommandText(command))
            return command;
    return std::nullopt;
}

TSingleInstance::TSingleInstance(QObject* parent) : QObject(parent) {}

TSingleInstance::~TSingleInstance() = default;

QString TSingleInstance::RuntimeFolder() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return runtime.isEmpty() ? FallbackFolder() : runtime;
}

QString TSingleInstance::SocketPath() {
    const QString folder = RuntimeFolder();
    return folder.isEmpty() ? QString() : folder + "/" + InstanceName;
}

TSingleInstance::TRole TSingleInstance::Start() {
    const QString path = SocketPath();
    if (path.isEmpty()) {
        Warn("no private runtime folder; running without the single-instance check");
        return TRole::First;
    }
    QLockFile lock(path + ".lock");
    // Without the lock the check still runs; only the race with a simultaneous start remains.
    if (!lock.tryLock(LockTimeoutMs))
        Warn("could not take the start-up lock " + path + ".lock");
    if (ProbeRunningInstance(path))
        return TRole::Second;
    Listen(path);
    return TRole::First;
}

bool TSingleInstance::ProbeRunningInstance(const QString& path) {
    auto* socket = new QLocalSocket(this);
    socket->connectToServer(path);
    if (socket->waitForConnected(ProbeTimeoutMs)) {
        FConnection = socket;
        return true;
    }
    const auto error = socket->error();
    delete socket;
    switch (error) {
    case QLocalSocket::ServerNotFoundError:
        return false;
    case QLocalSocket::ConnectionRefusedError: // nobody listens: left by a crashed instance
        QLocalServer::removeServer(path);
        return false;
    default: // something is there but does not answer: do not start a second instance beside it
        Warn("the running instance does not answer");
        return true;
    }
}

void TSingleInstance::Listen(const QString& path) {
    FServer = new QLocalServer(this);
    connect(FServer, &QLocalServer::newConnection, this, &TSingleInstance::AcceptConnection);
    if (!FServer->listen(path))
        Warn("cannot listen on " + path + ": " + FServer->errorString());
}

void TSingleInstance::AcceptConnection() {
    while (QLocalSocket* socket = FServer->nextPendingConnection()) {
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { ReadCommands(socket); });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        ReadCommands(socket);
    }
}

void TSingleInstance::ReadCommands(QLocalSocket* socket) {
    while (socket->canReadLine()) {
        QByteArray line = socket->readLine(MaxLineLength + 1);
        if (!line.endsWith('\n')) {
            Warn("dropped a connection sending an overlong line");
            socket->abort();
            return;
        }
        line.chop(1);
        Dispatch(socket, line);
    }
    if (socket->bytesAvailable() > MaxLineLength) {
        Warn("dropped a connection sending an overlong line");
        socket->abort();
    }
}

void TSingleInstance::Dispatch(QLocalSocket* socket, const QByteArray& line) {
    const auto command = ParseInstanceCommand(line);
    if (!command) {
        Warn("ignored an unknown command from another start: " +
             QString::fromLatin1(line.toPercentEncoding()));
        return;
    }
    TAcknowledgeOnExit acknowledge(socket);
    if (*command == TInstanceCommand::Open)
        emit OpenRequested();
    else
        emit SearchRequested();
}

bool TSingleInstance::Send(TInstanceCommand command, int timeoutMs) {
    if (!FConnection)
        return false;
    FConnection->write(InstanceCommandText(command) + '\n');
    if (!FConnection->waitForBytesWritten(timeoutMs))
        return false;
    while (!FConnection->canReadLine())
        if (!FConnection->waitForReadyRead(timeoutMs))
            return false;
    return FConnection->readLine(MaxLineLength + 1) == QByteArray(Acknowledgement) + '\n';
}

void SetInstanceWindowClass(QWidget* window) {
    if (QGuiApplication::platformName() != "xcb")
        return;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return;
    // Two strings, each ending in a zero: the instance name, then the class name.
    const QByteArray instance =
        QFileInfo(QCoreApplication::applicationFilePath()).fileName().toLocal8Bit();
    const QByteArray value = instance + '\0' + InstanceName + '\0';
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE,
                        static_cast<xcb_window_t>(window->winId()), XCB_ATOM_WM_CLASS,
                        XCB_ATOM_STRING, 8, value.size(), value.constData());
    xcb_flush(connection);
}
