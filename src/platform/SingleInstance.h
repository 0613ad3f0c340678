#pragma once
#include <QObject>
#include <QString>
#include <optional>

class QLocalServer;
class QLocalSocket;
class QWidget;

// What a later start of the program asks the running instance to do.
enum class TInstanceCommand { Open, Search };

// One running instance per user. The first start listens on a local socket named after
// "LOREWICK" in the user's runtime folder; a later start finds it listening and hands its
// command over. The protocol is one command per line ("open", "search"), each answered by
// the line "ok" once the running instance has handled it; any other line is ignored.
class TSingleInstance : public QObject {
    Q_OBJECT
public:
    enum class TRole { First, Second };

    explicit TSingleInstance(QObject* parent = nullptr);
    ~TSingleInstance() override;

    // Decides this process's role under a per-user lock, so two simultaneous starts cannot
    // both become the first: a live instance makes this one the second; a socket left by a
    // crashed instance is removed and this one starts listening.
    TRole Start();
    // Second role only: sends the command over the connection found by Start and waits for
    // the acknowledgement. False when none arrives within the timeout.
    bool Send(TInstanceCommand command, int timeoutMs = 10000);

    // $XDG_RUNTIME_DIR, or a private folder under /tmp named with the user id.
    static QString RuntimeFolder();
    static QString SocketPath();

signals:
    void OpenRequested();
    void SearchRequested();

private:
    bool ProbeRunningInstance(const QString& path);
    void Listen(const QString& path);
    void AcceptConnection();
    void ReadCommands(QLocalSocket* socket);
    void Dispatch(QLocalSocket* socket, const QByteArray& line);

    QLocalServer* FServer = nullptr;
    QLocalSocket* FConnection = nullptr;
};

// The protocol's words, shared by both ends.
QByteArray InstanceCommandText(TInstanceCommand command);
std::optional<TInstanceCommand> ParseInstanceCommand(const QByteArray& line);

// Names the window class of `window` (X11 WM_CLASS) "LOREWICK", the name that identifies the
// program's main window to other programs. Creates the native window if needed; does nothing
// on platforms that do not name window classes.
void SetInstanceWindowClass(QWidget* window);
