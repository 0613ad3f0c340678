// The command-line modes, run through the built program on temporary folders.
#include "app/CommandLine.h"
#include "common/PackStream.h"
#include "support/ConfigHome.h"
#include "support/TestPaths.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct TRun {
    int ExitCode = -1;
    QString Out;
    QString Err;
};

// Runs the program without a display, with its own empty settings and runtime folders, so
// a mode that touched settings or the single-instance socket would leave traces there.
class CommandLine : public testing::Test {
protected:
    TRun Run(const QStringList& arguments) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("DISPLAY");
        environment.remove("WAYLAND_DISPLAY");
        environment.remove("QT_QPA_PLATFORM");
        environment.insert("XDG_CONFIG_HOME", FHome.path() + "/config");
        environment.insert("XDG_RUNTIME_DIR", FHome.path() + "/runtime");
        environment.insert("HOME", FHome.path());
        QDir(FHome.path()).mkpath("config");
        QDir(FHome.path()).mkpath("runtime");

        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(QString::fromStdString(BinDir + "lorewick"), arguments);
        EXPECT_TRUE(process.waitForFinished(60000)) << arguments.join(' ').toStdString();
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }

    // The data folder with the sample's sources in it.
    QString SampleData() {
        const QString data = FWork.path() + "/Data";
        for (const char* name :
             {"oracle/ORT110-01-03.txt", "oracle/ORUnglued.txt", "oracle/ORPortal.txt",
              "cardindex/index.txt", "summary/rule-cards.html"})
            WriteFile(data + "/" + name,
                      ReadFile(QString::fromStdString(SampleDir) + QString::fromLatin1(name)));
        return data;
    }

    void ExpectNoTraces() {
        for (const char* folder : {"config", "runtime"})
            EXPECT_TRUE(QDir(FHome.path() + "/" + folder)
                            .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)
                            .isEmpty())
                << folder;
    }

    QTemporaryDir FHome;
    QTemporaryDir FWork;
};

TEST_F(CommandLine, ImportWritesTheFilesAndPrintsTheirRecordCountsWithAnyPrefix) {
    const QString data = SampleData();
    for (const char* importSwitch : {"-import", "/Import", "\\IMPORT"}) {
        const TRun run = Run({importSwitch, "-data", data});
        EXPECT_EQ(run.ExitCode, 0) << run.Err.toStdString();
        EXPECT_EQ(run.Out, data + "/oracle.xml: 62 records\n" + data +
                               "/cards_index.xml: 61 records\n" + data +
                               "/cards_summary.xml: 23 records\n");
    }
    EXPECT_TRUE(QFile::exists(data + "/cards_summary.xml"));
    ExpectNoTraces();
}

TEST_F(CommandLine, ImportErrorGoesToStandardErrorWithStatusOne) {
    const QString data = SampleData();
    QFile::remove(data + "/cardindex/index.txt");
    const TRun run = Run({"-data", data, "-import"});
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_EQ(run.Out, data + "/oracle.xml: 62 records\n");
    EXPECT_TRUE(run.Err.contains("Cannot open file \"" + data + "/cardindex/index.txt\". "))
        << run.Err.toStdString();
}

TEST_F(CommandLine, PrintShowsTheFirstCardBeginningWithTheText) {
    const QString data = FWork.path() + "/Data";
    WriteFile(data + "/oracle/ORT110-01-03.txt",
              "Embermaw\r\n{R}\r\nInstant\r\nBurn.\r\n\r\nEmber\r\n{1}\r\nSorcery\r\nSpark.\r\n\r\n"
              "\xC6ther Vane\r\n{U}\r\nArtifact\r\nFloat.\r\n\r\n");
    WriteFile(data + "/oracle/ORUnglued.txt", "");
    WriteFile(data + "/oracle/ORPortal.txt", "");
    WriteFile(data + "/cardindex/index.txt", "");
    WriteFile(data + "/summary/rule-cards.html",
              "<b><a name=\"Ember\">x</a></b><li type=disc>Sparks fly.</ul>");
    ASSERT_EQ(Run({"-import", "-data", data}).ExitCode, 0);

    struct TCase {
        QString Text;
        QString Expected;
    };
    const TCase cases[] = {
        {"ember",
         "Ember\n\nEmber\n{1}\nSorcery\n\nSpark.\n" + QString(40, '-') + "\nSparks fly.\n"},
        {"EMBERM", "Embermaw\n\nEmbermaw\n{R}\nInstant\n\nBurn.\n"},
        {QString::fromUtf8("\xC3\xA6th"),
         QString::fromUtf8("\xC3\x86ther Vane\n\n\xC3\x86ther Vane\n{U}\nArtifact\n\nFloat.\n")},
    };
    for (const TCase& c : cases) {
        const TRun run = Run({"/print", c.Text, "-data", data});
        EXPECT_EQ(run.ExitCode, 0) << run.Err.toStdString();
        EXPECT_EQ(run.Out, c.Expected) << c.Text.toStdString();
    }

    const TRun missing = Run({"-print", "Zephyr", "-data", data});
    EXPECT_EQ(missing.ExitCode, 1);
    EXPECT_TRUE(missing.Out.isEmpty());
    EXPECT_TRUE(missing.Err.contains("No card name begins with \"Zephyr\"."))
        << missing.Err.toStdString();
    ExpectNoTraces();
}

TEST_F(CommandLine, PackWritesEveryFileBelowTheFolderIntoTheArchive) {
    const QString folder = FWork.path() + "/pictures";
    WriteFile(folder + "/W.gif", "white");
    WriteFile(folder + "/sub/U.gif", "blue");
    const QString archive = FWork.path() + "/Images";
    const TRun run = Run({"-pack", folder, archive});
    EXPECT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    EXPECT_EQ(run.Out, archive + ": 2 entries\n");
    TPackFileStream entry((archive + "/sub/U.gif").toStdString(), fmOpenRead);
    EXPECT_EQ(entry.readAll(), "blue");
}

TEST_F(CommandLine, HelpNamesEveryModeAndSwitch) {
    const TRun run = Run({"-help"});
    EXPECT_EQ(run.ExitCode, 0);
    for (const char* name : {"-import", "-print TEXT", "-pack FOLDER ARCHIVE", "-data DIR", "-auto",
                             "-debug", "-search", "-help"})
        EXPECT_TRUE(run.Out.contains(name)) << name;
}

TEST_F(CommandLine, ModeWithoutItsValuesIsAUsageError) {
    for (const QStringList& arguments : {QStringList{"-print"}, QStringList{"-pack", "only-folder"},
                                         QStringList{"-import", "-data"}}) {
        const TRun run = Run(arguments);
        EXPECT_EQ(run.ExitCode, 2) << arguments.join(' ').toStdString();
        EXPECT_TRUE(run.Err.contains("Usage:")) << arguments.join(' ').toStdString();
    }
}

TEST(HasSwitch, KnowsTheThreePrefixesAndNothingElse) {
    const QStringList arguments = {"/usr/bin/auto", "-Auto", "/DEBUG", "\\search",
                                   "import",        "-data", "/print", "--pack"};
    EXPECT_TRUE(HasSwitch(arguments, "auto"));
    EXPECT_TRUE(HasSwitch(arguments, "debug"));
    EXPECT_TRUE(HasSwitch(arguments, "Search"));
    EXPECT_FALSE(HasSwitch(arguments, "import")) << "no prefix";
    EXPECT_FALSE(HasSwitch(arguments, "print")) << "the value of -data";
    EXPECT_FALSE(HasSwitch(arguments, "pack")) << "two prefixes";
    EXPECT_FALSE(HasSwitch({"-auto"}, "auto")) << "the program itself";
    EXPECT_EQ(SwitchValue(arguments, "data"), QString("/print"));
    EXPECT_EQ(SwitchValue({"x", "-data"}, "data"), std::nullopt);
}

} // namespace
