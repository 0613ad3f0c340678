#include "data/xLib.h"

#include "common/Exception.h"
#include "support/TestPaths.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <fstream>
#include <gtest/gtest.h>

namespace {

std::string LoadError(const std::string& fileName, const TNamespaceArray& namespaces = {}) {
    IXMLDOMDocument2 document;
    try {
        LoadXMLDocument(fileName, true, document, namespaces);
    } catch (const Exception& e) {
        return e.Message();
    }
    return "";
}

} // namespace

TEST(XLib, FactoryIsOneObject) {
    EXPECT_EQ(&Factory(), &Factory());
}

TEST(XLib, AppDirIsTheExecutablesFolder) {
    EXPECT_EQ(AppDir(), QCoreApplication::applicationDirPath().toStdString() + "/");
}

// Run in a fresh process, where no test has moved the data folder yet.
TEST(XLibDeathTest, DataDirIsTheFolderDataBesideTheExecutable) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::exit(DataDir() == AppDir() + "Data/" ? 0 : 1), testing::ExitedWithCode(0), "");
}

TEST(XLib, SetDataDirEndsThePathWithASlash) {
    const std::string saved = DataDir();
    SetDataDir("/nonexistent/data");
    EXPECT_EQ(DataDir(), "/nonexistent/data/");
    SetDataDir("/nonexistent/other/");
    EXPECT_EQ(DataDir(), "/nonexistent/other/");
    SetDataDir(saved);
}

TEST(XLib, LoadsTheFileIntoANewDocument) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("root.xml").toStdString();
    std::ofstream(path) << "<root marker=\"yes\"><child/></root>";
    IXMLDOMDocument2 document;
    LoadXMLDocument(path, true, document);
    ASSERT_TRUE(document);
    const IXMLDOMNode root = document.documentElement();
    EXPECT_EQ(GetAttributeValue(root.attributes(), "marker", ""), "yes");
    EXPECT_EQ(root.childNodes().length(), 1);
}

TEST(XLib, NewDocumentsAreEmpty) {
    IXMLDOMDocument2 first, second;
    NewXMLDocument(first);
    NewXMLDocument(second);
    ASSERT_TRUE(first);
    EXPECT_FALSE(first.documentElement());
    EXPECT_FALSE(first == second);
}

TEST(XLib, AMissingOrMalformedFileRaisesTheParseError) {
    QTemporaryDir dir;
    const std::string malformed = dir.filePath("bad.xml").toStdString();
    std::ofstream(malformed) << "<table><card></table>";
    for (const std::string& file : {dir.filePath("missing.xml").toStdString(), malformed}) {
        const std::string message = LoadError(file);
        EXPECT_EQ(message.rfind("XML Parse Error (0x", 0), 0u) << message;
        EXPECT_NE(message.find(file), std::string::npos) << message;
    }
}

TEST(XLib, SchemaNamespacesAreRefusedBeforeReading) {
    const std::string message =
        LoadError(FixturesDir + "data/two_bases/oracle.xml", {{"urn:cards", "cards.xsd"}});
    EXPECT_EQ(message.rfind("XML schemas are not supported", 0), 0u) << message;
}
