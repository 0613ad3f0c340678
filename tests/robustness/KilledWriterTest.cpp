// Writers that replace a file are killed (SIGKILL) at random moments; afterwards each file
// they replace must be there whole, as it was before or as the writer makes it.
#include "support/ConfigHome.h"
#include "support/TestPaths.h"
#include "writer/SettingsVersions.h"

#include "platform/Autostart.h"
#include "platform/SettingsStore.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <map>
#include <random>

namespace {

const QString Program = QString::fromStdString(BinDir + "lorewick");

// The same text `copies` times, so a writer has enough to do to be cut part-way.
QByteArray Repeated(const QByteArray& text, int copies) {
    QByteArray result;
    for (int i = 0; i < copies; ++i)
        result += text;
    return result;
}

// Runs the program to its end and gives how long it took.
qint64 RunToEnd(const QString& program, const QStringList& arguments) {
    QElapsedTimer timer;
    timer.start();
    QProcess process;
    process.start(program, arguments);
    EXPECT_TRUE(process.waitForFinished(600000)) << program.toStdString();
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    return timer.elapsed();
}

// Starts the program, lets it run for `delay` milliseconds and kills it. False when it had
// already ended, so there was nothing to cut.
bool RunAndKill(const QString& program, const QStringList& arguments, int delay) {
    QProcess process;
    process.start(program, arguments);
    EXPECT_TRUE(process.waitForStarted());
    QThread::msleep(delay);
    const bool running = !process.waitForFinished(0);
    process.kill();
    process.waitForFinished();
    return running;
}

class TKillSchedule {
public:
    TKillSchedule() : FSeed(std::random_device()()), FRandom(FSeed) {}
    int Delay(qint64 longest) {
        return std::uniform_int_distribution<int>(0, int(longest))(FRandom);
    }
    unsigned Seed() const { return FSeed; }

private:
    unsigned FSeed;
    std::mt19937 FRandom;
};

// A data folder filled from the sample sources, scaled by `copies`.
void WriteSources(const QString& dataDir, int copies) {
    for (const char* source :
         {"oracle/ORT110-01-03.txt", "oracle/ORUnglued.txt", "oracle/ORPortal.txt",
          "cardindex/index.txt", "summary/rule-cards.html"}) {
        const QByteArray sample = ReadFile(QString::fromStdString(SampleDir) + source);
        ASSERT_FALSE(sample.isEmpty()) << source;
        WriteFile(dataDir + source, Repeated(sample + "\r\n", copies));
    }
}

using TFileVersions = std::map<QString, QByteArray>;

TFileVersions ReadAll(const QStringList& paths) {
    TFileVersions files;
    for (const QString& path : paths)
        files[path] = ReadFile(path);
    return files;
}

void ExpectOldOrNew(const TFileVersions& oldFiles, const TFileVersions& newFiles) {
    for (const auto& [path, oldBytes] : oldFiles) {
        const QByteArray now = ReadFile(path);
        EXPECT_TRUE(now == oldBytes || now == newFiles.at(path))
            << path.toStdString() << " is neither the old nor the new file (" << now.size()
            << " bytes; old " << oldBytes.size() << ", new " << newFiles.at(path).size() << ")";
    }
}

constexpr int Kills = 12;

} // namespace

TEST(KilledWriter, ImportLeavesEveryDatabaseFileOldOrNew) {
    QTemporaryDir root;
    const QString dataDir = root.path() + "/Data/";
    const QStringList files = {dataDir + "oracle.xml", dataDir + "cards_index.xml",
                               dataDir + "cards_summary.xml"};
    const QStringList import = {"-import", "-data", dataDir};

    WriteSources(dataDir, 1);
    RunToEnd(Program, import);
    const TFileVersions oldFiles = ReadAll(files);
    WriteSources(dataDir, 120);
    const qint64 duration = RunToEnd(Program, import);
    const TFileVersions newFiles = ReadAll(files);
    ASSERT_NE(oldFiles, newFiles);

    TKillSchedule schedule;
    SCOPED_TRACE("random seed " + std::to_string(schedule.Seed()));
    int cut = 0;
    for (int kill = 0; kill < Kills; ++kill) {
        for (const auto& [path, bytes] : oldFiles)
            WriteFile(path, bytes);
        cut += RunAndKill(Program, import, schedule.Delay(duration));
        ExpectOldOrNew(oldFiles, newFiles);
    }
    EXPECT_GT(cut, 0) << "every run ended before its kill";
}

TEST(KilledWriter, PackLeavesTheArchiveOldOrNew) {
    QTemporaryDir root;
    const QString archive = root.path() + "/Data/Images";
    const QString oldFolder = root.path() + "/old", newFolder = root.path() + "/new";
    WriteFile(oldFolder + "/W.gif", "old picture");
    std::mt19937 bytes(7);
    for (int i = 0; i < 40; ++i) {
        QByteArray noise(64 * 1024, Qt::Uninitialized);
        for (char& c : noise)
            c = char(bytes());
        WriteFile(newFolder + QString("/sub%1/%2.gif").arg(i % 4).arg(i), noise);
    }

    RunToEnd(Program, {"-pack", oldFolder, archive});
    const TFileVersions oldFiles = ReadAll({archive});
    const qint64 duration = RunToEnd(Program, {"-pack", newFolder, archive});
    const TFileVersions newFiles = ReadAll({archive});
    ASSERT_NE(oldFiles, newFiles);

    TKillSchedule schedule;
    SCOPED_TRACE("random seed " + std::to_string(schedule.Seed()));
    int cut = 0;
    for (int kill = 0; kill < Kills; ++kill) {
        WriteFile(archive, oldFiles.at(archive));
        cut += RunAndKill(Program, {"-pack", newFolder, archive}, schedule.Delay(duration));
        ExpectOldOrNew(oldFiles, newFiles);
    }
    EXPECT_GT(cut, 0) << "every run ended before its kill";
}

// The writer saves the two versions of the settings in turn, the autostart entry written
// with one and deleted with the other, as fast as it can; every kill cuts it mid-way.
TEST(KilledWriter, SettingsSaveLeavesTheSettingsAndTheAutostartEntryWhole) {
    QTemporaryDir root;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", root.path());
    const QString settingsFile = root.path() + "/Lorewick/Lorewick.conf";
    const QString entryFile = root.path() + "/autostart/Lorewick.desktop";
    const QString writer = LOREWICK_SETTINGS_WRITER;

    // The whole entry, as the writer makes it.
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", (root.path() + "/reference").toUtf8());
    Autostart::WriteEntry(writer);
    const QByteArray wholeEntry = ReadFile(Autostart::EntryPath());
    qputenv("XDG_CONFIG_HOME", oldConfig);
    ASSERT_FALSE(wholeEntry.isEmpty());

    TKillSchedule schedule;
    SCOPED_TRACE("random seed " + std::to_string(schedule.Seed()));
    for (int kill = 0; kill < 3 * Kills; ++kill) {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(writer, QStringList());
        ASSERT_TRUE(process.waitForReadyRead(30000)) << "the writer did not start";
        QThread::msleep(schedule.Delay(50));
        ASSERT_EQ(process.state(), QProcess::Running) << "the writer stopped by itself";
        process.kill();
        process.waitForFinished();

        EXPECT_FALSE(QFile::exists(settingsFile + ".bad")) << "the settings were found damaged";
        if (QFile::exists(settingsFile)) {
            TSettingsStore store(settingsFile);
            ASSERT_TRUE(store.Open());
            const std::string open = store.ReadString("OpenShortCut");
            EXPECT_TRUE(open == SettingsVersion(0).OpenShortCut ||
                        open == SettingsVersion(1).OpenShortCut);
            const std::string search = store.ReadString("SearchShortCut");
            EXPECT_TRUE(search == SettingsVersion(0).SearchShortCut ||
                        search == SettingsVersion(1).SearchShortCut);
            EXPECT_NO_THROW(store.ReadInteger("UseInsInsShortCut"));
        }
        if (QFile::exists(entryFile)) {
            EXPECT_EQ(ReadFile(entryFile), wholeEntry);
        }
    }
}
