#include "import/ImportTestSupport.h"

#include "data/xLib.h"
#include "support/TestPaths.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

std::string TRecord::Attribute(const std::string& name) const {
    return GetAttributeValue(Node.attributes(), name, "<absent>");
}

std::vector<TRecord> RecordsOf(const IXMLDOMNode& root) {
    std::vector<TRecord> records;
    const IXMLDOMNodeList children = root.childNodes();
    for (int i = 0; i < children.length(); ++i) {
        const IXMLDOMNode child = children.item(i);
        TRecord record;
        record.Node = child;
        record.Id = GetAttributeValue(child.attributes(), "id", "<absent>");
        record.Name = GetAttributeValue(child.attributes(), "name", "<absent>");
        const IXMLDOMNodeList content = child.childNodes();
        for (int j = 0; j < content.length(); ++j) {
            EXPECT_EQ(content.item(j).nodeType(), NodeCDataSection);
            record.CData.push_back(content.item(j).nodeValue());
        }
        records.push_back(std::move(record));
    }
    return records;
}

std::vector<TRecord> RecordsOfFile(const std::string& fileName) {
    IXMLDOMDocument2 document;
    LoadXMLDocument(fileName, true, document);
    return RecordsOf(document.documentElement());
}

void WriteFile(const std::string& fileName, const std::string& bytes) {
    QFile file(QString::fromStdString(fileName));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << fileName;
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

std::string ReadFile(const std::string& fileName) {
    QFile file(QString::fromStdString(fileName));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << fileName;
    return file.readAll().toStdString();
}

std::vector<TRecord> Convert(const TConverter& converter, const std::string& source) {
    QTemporaryDir dir;
    const std::string fileName = dir.path().toStdString() + "/source.txt";
    WriteFile(fileName, source);
    IXMLDOMDocument2 document;
    NewXMLDocument(document);
    const IXMLDOMNode root = document.createElement("table");
    document.setDocumentElement(root);
    converter(fileName, root);
    return RecordsOf(root);
}

TDataFolder::TDataFolder() : FPreviousDataDir(DataDir()) {
    for (const char* folder : {"oracle", "cardindex", "summary"})
        QDir(FDir.path()).mkpath(folder);
    SetDataDir(Path());
}

TDataFolder::~TDataFolder() {
    SetDataDir(FPreviousDataDir);
}

std::string TDataFolder::Path() const {
    return FDir.path().toStdString() + "/";
}

void TDataFolder::CopySample() const {
    for (const char* name :
         {"oracle/ORT110-01-03.txt", "oracle/ORUnglued.txt", "oracle/ORPortal.txt",
          "cardindex/index.txt", "summary/rule-cards.html"})
        Write(name, ReadFile(SampleDir + name));
}

void TDataFolder::Write(const std::string& relativeName, const std::string& bytes) const {
    WriteFile(Path() + relativeName, bytes);
}

void TDataFolder::Remove(const std::string& relativeName) const {
    QFile::remove(QString::fromStdString(Path() + relativeName));
}
