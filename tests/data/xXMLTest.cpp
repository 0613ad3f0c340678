#include "data/xXML.h"

#include "common/Exception.h"
#include "support/TestPaths.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace {

struct TTextCase {
    std::string Input;
    std::string Expected;
};

void WriteFile(const std::string& path, std::string_view content) {
    std::ofstream out(path, std::ios::binary);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

IXMLDOMDocument2 NewDocument() {
    IXMLDOMDocument2 document;
    CreateXMLDocument(document);
    return document;
}

// Loads `content` from a file and gives the document, which holds the parse error on failure.
IXMLDOMDocument2 LoadText(const QTemporaryDir& dir, std::string_view content, bool& loaded) {
    const std::string path = dir.filePath("doc.xml").toStdString();
    WriteFile(path, content);
    IXMLDOMDocument2 document = NewDocument();
    loaded = document.load(path);
    return document;
}

std::string ParseErrorMessage(const IXMLDOMParseError& error) {
    try {
        CheckParseError(error);
    } catch (const Exception& e) {
        return e.Message();
    }
    return "";
}

std::string ChildValues(const IXMLDOMNode& node) {
    std::string values;
    const IXMLDOMNodeList children = node.childNodes();
    for (std::int32_t i = 0; i < children.length(); ++i)
        values += "[" + std::to_string(children.item(i).nodeType()) + ":" +
                  children.item(i).nodeValue() + "]";
    return values;
}

long PeakResidentKiB() {
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind("VmHWM:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return 0;
}

} // namespace

// --- text rules ---

TEST(EscapeXML, EscapesCollapsesSpacesAndJoinsLineBreaks) {
    const TTextCase cases[] = {
        {"a   b", "a b"},
        {"a \r\n b", "a&#xD;b"},
        {"a\r\nb", "a&#xD;b"},
        {"a\n\rb", "a&#xD;b"},
        {"a\rb", "a&#xD;b"},
        {"a\nb", "a&#xD;b"},
        {"a\r\n\r\nb", "a&#xD;&#xD;b"},
        {"a  \n  b", "a&#xD;b"},
        {"<&", "&lt;&amp;"},
        {"'\">", "&apos;&quot;&gt;"},
        {" a\tb ", " a\tb "},
        {"&amp;", "&amp;amp;"},
        {"", ""},
    };
    for (const TTextCase& c : cases)
        EXPECT_EQ(EscapeXML(c.Input), c.Expected) << c.Input;
}

TEST(UnescapeXML, ResolvesTheFiveEscapesAndLineBreaksAmpersandFirst) {
    const TTextCase cases[] = {
        {"&#xD;", "\r\n"},
        {"&amp;lt;", "<"},
        {"&apos;&quot;&lt;&gt;&amp;", "'\"<>&"},
        {"&#10;&#13;&nbsp;", "&#10;&#13;&nbsp;"},
        {"&amp", "&amp"},
    };
    for (const TTextCase& c : cases)
        EXPECT_EQ(UnescapeXML(c.Input), c.Expected) << c.Input;
}

TEST(UnescapeXML, UndoesEscapeXMLExceptForSpacesAndLineBreakForms) {
    EXPECT_EQ(UnescapeXML(EscapeXML("Fish & Chips <\"It's\"> {2}{W}\t!")),
              "Fish & Chips <\"It's\"> {2}{W}\t!");
    EXPECT_EQ(UnescapeXML(EscapeXML("one\rtwo\nthree\n\rfour")), "one\r\ntwo\r\nthree\r\nfour");
}

TEST(MakeIdentifier, KeepsLettersDigitsAndSingleUnderscores) {
    const TTextCase cases[] = {
        {"Example Card", "example_card"},
        {"Left (Left/Right)", "left_leftright"},
        {"3 Example", "_3_example"},
        {"Name -", "name_"},
        {"Example's Card", "examples_card"},
        {"  Tide of  Ages\t", "tide_of_ages"},
        {"A_-_B", "a_b"},
        {"-x-", "_x_"},
        {"a '-' b", "a_b"},
        {"\xC6ther Example", "ther_example"},
        {"", ""},
        {"!?.,", ""},
        {"   ", ""},
    };
    for (const TTextCase& c : cases)
        EXPECT_EQ(MakeIdentifier(c.Input), c.Expected) << c.Input;
}

// --- parse errors ---

TEST(CheckParseError, BuildsTheMessageFromEveryPartOfTheError) {
    EXPECT_EQ(ParseErrorMessage(IXMLDOMParseError(14, "/d/oracle.xml", "Start-end tags mismatch",
                                                  "<a></b>", 3, 12)),
              "XML Parse Error (0x0000000E): /d/oracle.xml [line 3 pos 12]\r"
              "Start-end tags mismatch\r\r<a></b>");
    EXPECT_EQ(ParseErrorMessage(IXMLDOMParseError(-2146697210, "u", "r", "s", 0, 0)),
              "XML Parse Error (0x800C0006): u [line 0 pos 0]\rr\r\rs");
}

TEST(CheckParseError, IsQuietForNoErrorOrNoErrorObject) {
    EXPECT_NO_THROW(CheckParseError(IXMLDOMParseError(0, "u", "r", "s", 1, 1)));
    EXPECT_NO_THROW(CheckParseError(IXMLDOMParseError()));
    EXPECT_NO_THROW(CheckParseError(NewDocument().parseError()));
}

TEST(XMLLoad, ReportsWhereAndWhyAFileIsNotWellFormed) {
    struct TCase {
        std::string Content;
        pugi::xml_parse_status Status;
        std::int32_t Line, Pos;
        std::string Source;
    };
    const TCase cases[] = {
        {"", pugi::status_no_document_element, 1, 1, ""},
        {"<table>\n<card id=\"a\">\r\n  </cards>\n</table>", pugi::status_end_element_mismatch, 3,
         5, "  </cards>"},
        {"<table><card id=\"a\" name=\"x></table>", pugi::status_bad_attribute, 1, 27,
         "<table><card id=\"a\" name=\"x></table>"},
        {"<table>\r<card>\xC3\xA9\xC3\xA9</card", pugi::status_bad_end_element, 2, 14,
         "<card>\xE9\xE9</card"},
        {"\xEF\xBB\xBF<a>\n<b></a>", pugi::status_end_element_mismatch, 2, 6, "<b></a>"},
        {"<table><card/>", pugi::status_end_element_mismatch, 1, 14, "<table><card/>"},
    };
    QTemporaryDir dir;
    for (const TCase& c : cases) {
        bool loaded = true;
        const IXMLDOMDocument2 document = LoadText(dir, c.Content, loaded);
        const IXMLDOMParseError error = document.parseError();
        EXPECT_FALSE(loaded) << c.Content;
        EXPECT_EQ(error.errorCode(), c.Status) << c.Content;
        EXPECT_EQ(error.line(), c.Line) << c.Content;
        EXPECT_EQ(error.linepos(), c.Pos) << c.Content;
        EXPECT_EQ(error.srcText(), c.Source) << c.Content;
        pugi::xml_parse_result expected;
        expected.status = c.Status;
        EXPECT_EQ(error.reason(), expected.description());
        EXPECT_EQ(error.url(), dir.filePath("doc.xml").toStdString());
        EXPECT_FALSE(document.documentElement()) << "a failed load leaves no partial tree";
    }
}

TEST(XMLLoad, PositionsInUtf16FilesCountCharacters) {
    const QString text = QString::fromUtf8("<a>\n  <b\xC3\xA9></a>");
    QByteArray bytes("\xFF\xFE", 2);
    bytes.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    QTemporaryDir dir;
    bool loaded = true;
    const IXMLDOMDocument2 document =
        LoadText(dir, std::string_view(bytes.constData(), bytes.size()), loaded);
    ASSERT_FALSE(loaded);
    EXPECT_EQ(document.parseError().line(), 2);
    EXPECT_EQ(document.parseError().linepos(), 9);
    EXPECT_EQ(document.parseError().srcText(), "  <b\xE9></a>");
}

TEST(XMLLoad, AMissingFileIsAParseErrorWithoutPosition) {
    const IXMLDOMDocument2 document = NewDocument();
    EXPECT_FALSE(document.load("/nonexistent/oracle.xml"));
    EXPECT_EQ(ParseErrorMessage(document.parseError()),
              "XML Parse Error (0x00000001): /nonexistent/oracle.xml [line 0 pos 0]\r"
              "File was not found\r\r");
    EXPECT_FALSE(document.load(FixturesDir + "data")) << "a folder is not a document";
}

TEST(XMLLoad, ShowsAtMostAWindowOfAVeryLongLine) {
    const std::string content =
        "<a>" + std::string(100000, 'x') + "</b>" + std::string(100000, 'y') + "</a>";
    QTemporaryDir dir;
    bool loaded = true;
    const IXMLDOMDocument2 document = LoadText(dir, content, loaded);
    ASSERT_FALSE(loaded);
    const std::string source = document.parseError().srcText();
    EXPECT_LE(source.size(), 300u);
    EXPECT_NE(source.find("x</b>y"), std::string::npos);
    EXPECT_EQ(document.parseError().linepos(), 100006);
}

// A document type declaration is skipped: its entities are neither expanded (a "billion
// laughs" stays one short reference) nor fetched from outside.
TEST(XMLLoad, IgnoresEntityDeclarationsInTheDocumentType) {
    std::string bomb = "<!DOCTYPE r [<!ENTITY e0 \"lol\">";
    for (int i = 1; i <= 30; ++i)
        bomb += "<!ENTITY e" + std::to_string(i) + " \"" + [&] {
            std::string refs;
            for (int k = 0; k < 10; ++k)
                refs += "&e" + std::to_string(i - 1) + ";";
            return refs;
        }() + "\">";
    bomb += "<!ENTITY secret SYSTEM \"file:///etc/hostname\">]>"
            "<r a=\"&e30;\"><c>&e30;&secret;</c></r>";
    QTemporaryDir dir;
    bool loaded = false;
    const IXMLDOMDocument2 document = LoadText(dir, bomb, loaded);
    ASSERT_TRUE(loaded);
    const IXMLDOMNode root = document.documentElement();
    EXPECT_EQ(GetAttributeValue(root.attributes(), "a", "-"), "&e30;");
    EXPECT_EQ(ChildValues(root.childNodes().item(0)), "[3:&e30;&secret;]");
}

// 100 MB of elements is far more than the program's files; the load must end with an error
// and give its memory back instead of exhausting the machine.
TEST(XMLLoad, AHugeFileEndsWithAnErrorInBoundedMemory) {
    const std::size_t size = 100u << 20;
    const struct {
        const char* Shape;
        std::string Content;
    } cases[] = {
        {"nested",
         [&] {
             std::string s;
             s.reserve(size);
             while (s.size() < size)
                 s += "<a>";
             return s;
         }()},
        {"flat",
         [&] {
             std::string s = "<r>";
             s.reserve(size + 8);
             while (s.size() < size)
                 s += "<a/>";
             return s + "</r>";
         }()},
    };
    QTemporaryDir dir;
    for (const auto& c : cases) {
        const long peakBefore = PeakResidentKiB();
        bool loaded = true;
        const IXMLDOMDocument2 document = LoadText(dir, c.Content, loaded);
        EXPECT_FALSE(loaded) << c.Shape;
        EXPECT_EQ(document.parseError().errorCode(), pugi::status_out_of_memory) << c.Shape;
        EXPECT_EQ(document.parseError().reason(), "Could not allocate memory");
        const long limitKiB = static_cast<long>(XMLMemoryLimit >> 10);
        EXPECT_LT(PeakResidentKiB() - peakBefore, limitKiB + 2 * (static_cast<long>(size) >> 10))
            << c.Shape;
        // Everything went back: an ordinary document loads afterwards.
        bool small = false;
        LoadText(dir, "<r/>", small);
        EXPECT_TRUE(small) << c.Shape;
    }
}

// --- reading ---

TEST(XMLRead, GivesAttributesCDataAndOtherChildrenInWindows1252) {
    QTemporaryDir dir;
    bool loaded = false;
    const IXMLDOMDocument2 document = LoadText(
        dir,
        "<table><card id=\"x\" empty=\"\" name=\"Caf\xC3\xA9 &amp;amp; \xE4\xB8\xAD &#xD;\">"
        "<![CDATA[<b>\xE2\x82\xAC</b>\r\n]]><![CDATA[]]>text<!--note--><?pi data?><sub/>"
        "</card></table>",
        loaded);
    ASSERT_TRUE(loaded);
    const IXMLDOMNode card = document.documentElement().childNodes().item(0);
    const IXMLDOMNamedNodeMap attributes = card.attributes();
    EXPECT_EQ(GetAttributeValue(attributes, "name", "-"), "Caf\xE9 &amp; ? \r");
    EXPECT_EQ(GetAttributeValue(attributes, "empty", "-"), "");
    EXPECT_EQ(GetAttributeValue(attributes, "missing", "-"), "-");
    EXPECT_EQ(attributes.getNamedItem("id").nodeType(), NodeAttribute);
    EXPECT_FALSE(attributes.getNamedItem("ID")) << "names are case-sensitive";
    EXPECT_EQ(ChildValues(card), "[4:<b>\x80</b>\n][4:][3:text][8:note][7:data][1:]");
    EXPECT_FALSE(card.childNodes().item(2).attributes()) << "text has no attribute map";
}

TEST(XMLRead, NodeListsAnswerByIndexAndNullOutsideTheirRange) {
    QTemporaryDir dir;
    bool loaded = false;
    const IXMLDOMDocument2 document = LoadText(dir, "<r><a/><b/><c/></r>", loaded);
    ASSERT_TRUE(loaded);
    const IXMLDOMNodeList children = document.documentElement().childNodes();
    ASSERT_EQ(children.length(), 3);
    EXPECT_EQ(children.item(1), children.item(1));
    EXPECT_FALSE(children.item(1) == children.item(2));
    EXPECT_FALSE(children.item(-1));
    EXPECT_FALSE(children.item(3));
    EXPECT_EQ(children.item(2).ownerDocument(), document);
    EXPECT_EQ(children.item(0).childNodes().length(), 0);
}

TEST(XMLRead, HandlesKeepTheirDocumentAlive) {
    QTemporaryDir dir;
    IXMLDOMNodeList records;
    IXMLDOMNamedNodeMap attributes;
    {
        bool loaded = false;
        records = LoadText(dir, "<r><c id=\"one\"/><c id=\"two\"/></r>", loaded)
                      .documentElement()
                      .childNodes();
        attributes = records.item(0).attributes();
    }
    EXPECT_EQ(GetAttributeValue(records.item(1).attributes(), "id", ""), "two");
    EXPECT_EQ(GetAttributeValue(attributes, "id", ""), "one");
}

TEST(XMLRead, NullHandlesRaiseInsteadOfCrashing) {
    EXPECT_THROW(IXMLDOMNode().nodeType(), Exception);
    EXPECT_THROW(IXMLDOMNode().childNodes(), Exception);
    EXPECT_THROW(IXMLDOMNodeList().length(), Exception);
    EXPECT_THROW(GetAttributeValue(IXMLDOMNamedNodeMap(), "id", ""), Exception);
    EXPECT_THROW(IXMLDOMDocument2().documentElement(), Exception);
    EXPECT_THROW(IXMLDOMParseError().errorCode(), Exception);
}

// --- building and saving ---

TEST(XMLWrite, SavesUtf8WithoutDeclarationOrWhitespaceAndReadsBack) {
    const IXMLDOMDocument2 document = NewDocument();
    const IXMLDOMNode table = document.createElement("table");
    document.setDocumentElement(table);
    const IXMLDOMNode card = table.appendChild(document.createElement("card"));
    const IXMLDOMAttribute id = document.createAttribute("id");
    id.setValue("caf\xE9");
    card.attributes().setNamedItem(id);
    const IXMLDOMAttribute name = document.createAttribute("name");
    card.attributes().setNamedItem(name);
    name.setValue(EscapeXML("Caf\xE9 <\"It's\"> &\r\nmore\t"));
    card.appendChild(document.createCDATASection("<b>Caf\xE9</b>\r{1}"));
    table.appendChild(document.createElement("card")).appendChild(document.createCDATASection(""));

    QTemporaryDir dir;
    const std::string path = dir.filePath("out.xml").toStdString();
    document.save(path);
    EXPECT_EQ(ReadFile(path),
              "<table><card id=\"caf\xC3\xA9\" name=\"Caf\xC3\xA9 &amp;lt;&amp;quot;It&amp;"
              "apos;s&amp;quot;&amp;gt; &amp;amp;&amp;#xD;more&#09;\"><![CDATA[<b>Caf\xC3\xA9"
              "</b>\r{1}]]></card><card><![CDATA[]]></card></table>");

    const IXMLDOMDocument2 reread = NewDocument();
    ASSERT_TRUE(reread.load(path));
    const IXMLDOMNodeList cards = reread.documentElement().childNodes();
    ASSERT_EQ(cards.length(), 2);
    EXPECT_EQ(UnescapeXML(GetAttributeValue(cards.item(0).attributes(), "name", "")),
              "Caf\xE9 <\"It's\"> &\r\nmore\t");
    EXPECT_EQ(ChildValues(cards.item(0)), "[4:<b>Caf\xE9</b>\n{1}]");
    EXPECT_EQ(ChildValues(cards.item(1)), "[4:]");
}

TEST(XMLWrite, NewNodesStandNowhereUntilAppended) {
    const IXMLDOMDocument2 document = NewDocument();
    const IXMLDOMNode loose = document.createElement("loose");
    document.createCDATASection("unused");
    EXPECT_FALSE(document.documentElement()) << "a created element is not the root";
    const IXMLDOMNode root = document.createElement("r");
    document.setDocumentElement(root);
    EXPECT_EQ(document.documentElement(), root);

    QTemporaryDir dir;
    const std::string path = dir.filePath("out.xml").toStdString();
    document.save(path);
    EXPECT_EQ(ReadFile(path), "<r/>");

    // A new root replaces the old one; handles to the old one stay usable.
    const IXMLDOMNode other = document.createElement("other");
    other.appendChild(loose);
    document.setDocumentElement(other);
    EXPECT_EQ(root.nodeType(), NodeElement);
    document.save(path);
    EXPECT_EQ(ReadFile(path), "<other><loose/></other>");
}

TEST(XMLWrite, RefusesNodesThatCannotGoWhereTheyAreAppended) {
    const IXMLDOMDocument2 document = NewDocument();
    const IXMLDOMNode parent = document.createElement("p");
    const IXMLDOMNode child = parent.appendChild(document.createElement("c"));
    const IXMLDOMNode section = document.createCDATASection("x");
    EXPECT_THROW(child.appendChild(parent), Exception) << "an ancestor";
    EXPECT_THROW(parent.appendChild(parent), Exception) << "itself";
    EXPECT_THROW(section.appendChild(document.createElement("c")), Exception) << "into CDATA";
    EXPECT_THROW(parent.appendChild(NewDocument().createElement("c")), Exception)
        << "from another document";
    EXPECT_THROW(document.setDocumentElement(section), Exception);
    EXPECT_THROW(document.createElement("two words"), Exception);
    EXPECT_THROW(document.createAttribute("1st"), Exception);
    EXPECT_THROW(document.setProperty("ProhibitDTD", true), Exception);

    const IXMLDOMAttribute attribute = document.createAttribute("a");
    parent.attributes().setNamedItem(attribute);
    EXPECT_NO_THROW(parent.attributes().setNamedItem(attribute));
    EXPECT_THROW(child.attributes().setNamedItem(attribute), Exception) << "already in use";
    EXPECT_EQ(ChildValues(parent), "[1:]");
}

TEST(XMLWrite, SettingAnAttributeTwiceReplacesItsValue) {
    const IXMLDOMDocument2 document = NewDocument();
    const IXMLDOMNode element = document.createElement("e");
    document.setDocumentElement(element);
    for (const char* value : {"first", "second"}) {
        const IXMLDOMAttribute attribute = document.createAttribute("id");
        attribute.setValue(value);
        element.attributes().setNamedItem(attribute);
    }
    QTemporaryDir dir;
    const std::string path = dir.filePath("out.xml").toStdString();
    document.save(path);
    EXPECT_EQ(ReadFile(path), "<e id=\"second\"/>");
}

// A save that fails half-way (here: the file size limit is hit) raises and leaves the file
// it would have replaced as it was, with no temporary file behind.
TEST(XMLWrite, AFailedSaveLeavesTheOldFileWhole) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("oracle.xml").toStdString();
    WriteFile(path, "<table>old</table>");
    const IXMLDOMDocument2 document = NewDocument();
    document.setDocumentElement(document.createElement("table"));
    document.documentElement().appendChild(
        document.createCDATASection(std::string(64 * 1024, 'x')));

    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 4096;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    bool raised = false;
    try {
        document.save(path);
    } catch (const Exception& e) {
        raised = std::string(e.Message()).starts_with("Cannot save file \"" + path + "\". ");
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_TRUE(raised);
    EXPECT_EQ(ReadFile(path), "<table>old</table>");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"oracle.xml"});
    EXPECT_THROW(document.save(dir.filePath("missing/oracle.xml").toStdString()), Exception);
}

TEST(XMLWrite, ReloadingADocumentKeepsEarlierHandlesValid) {
    QTemporaryDir dir;
    bool loaded = false;
    const IXMLDOMDocument2 document = LoadText(dir, "<r><a id=\"1\"/></r>", loaded);
    const IXMLDOMNode first = document.documentElement().childNodes().item(0);
    WriteFile(dir.filePath("doc.xml").toStdString(), "<s/>");
    ASSERT_TRUE(document.load(dir.filePath("doc.xml").toStdString()));
    EXPECT_EQ(GetAttributeValue(first.attributes(), "id", ""), "1");
    EXPECT_EQ(document.documentElement().childNodes().length(), 0);
    EXPECT_THROW(document.documentElement().appendChild(first), Exception);
}

TEST(XMLSchema, NoSchemaCacheIsAvailable) {
    IXMLDOMSchemaCollection2 cache;
    CreateSchemaCache(cache);
    EXPECT_FALSE(cache);
}
