#include "ImportRoundTrip.h"

#include "FuzzSupport.h"

#include "common/Exception.h"
#include "data/xLib.h"

#include <vector>

namespace {

struct TRecordText {
    std::string Id;
    std::string CData;
};

// A reader gets what the parser gives: line ends as LF, a text up to its first NUL.
std::string AsParsed(std::string text) {
    text = text.substr(0, text.find('\0'));
    std::string result;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        result += text[i] == '\r' ? '\n' : text[i];
    }
    return result;
}

// Every record with its CDATA sections joined: a section holding "]]>" is written as two.
std::vector<TRecordText> RecordsOf(const IXMLDOMNode& root) {
    std::vector<TRecordText> records;
    const IXMLDOMNodeList cards = root.childNodes();
    for (std::int32_t i = 0; i < cards.length(); ++i) {
        const IXMLDOMNode card = cards.item(i);
        FUZZ_CHECK(card.nodeType() == NodeElement, "a root child that is no record");
        TRecordText record{GetAttributeValue(card.attributes(), "id", "-"), {}};
        const IXMLDOMNodeList children = card.childNodes();
        for (std::int32_t j = 0; j < children.length(); ++j) {
            FUZZ_CHECK(children.item(j).nodeType() == NodeCDataSection,
                       "a record child that is no CDATA section");
            record.CData += AsParsed(children.item(j).nodeValue());
        }
        records.push_back(std::move(record));
    }
    return records;
}

} // namespace

void ConvertAndReload(TConvertFile convert, const uint8_t* data, size_t size) {
    const std::string source = WorkDir() + "source";
    const std::string saved = WorkDir() + "converted.xml";
    WriteFile(source, AsText(data, size));

    IXMLDOMDocument2 document;
    NewXMLDocument(document);
    const IXMLDOMNode root = document.createElement("table");
    document.setDocumentElement(root);
    try {
        convert(source, root);
        document.save(saved);
    } catch (const Exception& error) {
        Fail("the conversion failed: " + error.Message());
    }

    IXMLDOMDocument2 reloaded;
    try {
        LoadXMLDocument(saved, true, reloaded);
    } catch (const Exception& error) {
        Fail("the converted file does not load: " + error.Message());
    }
    const std::vector<TRecordText> written = RecordsOf(root);
    const std::vector<TRecordText> read = RecordsOf(reloaded.documentElement());
    FUZZ_CHECK(written.size() == read.size(), "records were lost on the way through the file");
    for (size_t i = 0; i < written.size(); ++i) {
        FUZZ_CHECK(written[i].Id == read[i].Id, "an identifier changed: " + written[i].Id);
        FUZZ_CHECK(written[i].CData == read[i].CData, "the text of " + written[i].Id + " changed");
    }
}
