#include "FuzzSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

int ArgumentCount = 1;
char ProgramName[] = "lorewick-fuzz";
char* Arguments[] = {ProgramName, nullptr};

std::unique_ptr<QTemporaryDir>& Folder() {
    static std::unique_ptr<QTemporaryDir> folder;
    return folder;
}

} // namespace

void StartQt(bool gui) {
    // Never a real display, and no fontconfig cache written into the user's home.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (gui)
        new QGuiApplication(ArgumentCount, Arguments);
    else
        new QCoreApplication(ArgumentCount, Arguments);
}

const std::string& WorkDir() {
    static const std::string path = [] {
        Folder() = std::make_unique<QTemporaryDir>(QDir::tempPath() + "/lorewick-fuzz-XXXXXX");
        if (!Folder()->isValid())
            Fail("cannot create a temporary folder");
        // Removed at exit even though the application object is never destroyed.
        std::atexit([] { Folder().reset(); });
        return QFile::encodeName(Folder()->path()).toStdString() + "/";
    }();
    return path;
}

void ClearWorkDir() {
    QDir folder(QFile::decodeName(QByteArray::fromStdString(WorkDir())));
    for (const QString& name :
         folder.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)) {
        const QString path = folder.filePath(name);
        if (QFileInfo(path).isDir() && !QFileInfo(path).isSymLink())
            QDir(path).removeRecursively();
        else
            QFile::remove(path);
    }
}

void WriteFile(const std::string& fileName, std::string_view bytes) {
    QFile file(QFile::decodeName(QByteArray::fromStdString(fileName)));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(bytes.data(), qint64(bytes.size())) != qint64(bytes.size()))
        Fail("cannot write " + fileName);
}

std::string ReadFile(const std::string& fileName) {
    QFile file(QFile::decodeName(QByteArray::fromStdString(fileName)));
    if (!file.open(QIODevice::ReadOnly))
        Fail("cannot read " + fileName);
    return file.readAll().toStdString();
}

bool FileExists(const std::string& fileName) {
    return QFileInfo::exists(QFile::decodeName(QByteArray::fromStdString(fileName)));
}

void Fail(const std::string& what) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what.c_str());
    std::abort();
}
