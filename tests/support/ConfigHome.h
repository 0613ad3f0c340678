#pragma once
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// $XDG_CONFIG_HOME pointed at an empty folder of its own while the object lives, so tests
// never touch the user's settings.
class TConfigHome {
public:
    TConfigHome() : FSaved(qgetenv("XDG_CONFIG_HOME")) {
        qputenv("XDG_CONFIG_HOME", FFolder.path().toLocal8Bit());
    }
    ~TConfigHome() {
        if (FSaved.isNull())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", FSaved);
    }
    TConfigHome(const TConfigHome&) = delete;
    TConfigHome& operator=(const TConfigHome&) = delete;

    QString Path() const { return FFolder.path(); }
    QString SettingsPath() const { return Path() + "/Lorewick/Lorewick.conf"; }
    QString EntryPath() const { return Path() + "/autostart/Lorewick.desktop"; }

private:
    QTemporaryDir FFolder;
    QByteArray FSaved;
};

// Writes a whole file, making its folder first.
inline void WriteFile(const QString& path, const QByteArray& content) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    ASSERT_EQ(file.write(content), content.size()) << path.toStdString();
}

// The whole file, or nothing when it cannot be read.
inline QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
