#include "view/PageImport.h"
#include "common/Exception.h"
#include <QImage>
#include <QPainter>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>
#include <gtest/gtest.h>

namespace {

// A picture that tells what was done to it.
struct TDrawLog {
    std::vector<QRect> Rects;
    int Destroyed = 0;
};

class TFakeGraphic : public TGraphic {
public:
    TFakeGraphic(int width, int height, TDrawLog* log)
        : FWidth(width), FHeight(height), FLog(log) {}
    ~TFakeGraphic() override {
        if (FLog)
            ++FLog->Destroyed;
    }
    void Draw(QPainter&, const QRect& rect) override {
        if (FLog)
            FLog->Rects.push_back(rect);
    }
    bool GetEmpty() const override { return false; }
    int GetWidth() const override { return FWidth; }
    int GetHeight() const override { return FHeight; }
    void SetWidth(int value) override { FWidth = value; }
    void SetHeight(int value) override { FHeight = value; }

private:
    int FWidth;
    int FHeight;
    TDrawLog* FLog;
};

struct TRequest {
    std::string Src;
    int Width;
    int Height;
    bool operator==(const TRequest&) const = default;
};

class PageImport : public testing::Test {
protected:
    PageImport() {
        Importer.SetPictureRequest([this](const std::string& src, int width, int height) {
            Requests.push_back({src, width, height});
            return AnswerNull ? nullptr : std::make_unique<TFakeGraphic>(10, 12, &Log);
        });
    }

    void Load(std::string_view page) { Importer.Load(page); }

    // The paragraphs as text; a rule shows as "---" and a picture as "[src]".
    std::vector<QString> Blocks() const {
        std::vector<QString> blocks;
        for (QTextBlock block = Document.begin(); block.isValid(); block = block.next()) {
            if (block.blockFormat().hasProperty(QTextFormat::BlockTrailingHorizontalRulerWidth)) {
                blocks.push_back("---");
                continue;
            }
            QString text;
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                const QTextFragment fragment = it.fragment();
                if (TPageImporter::Picture(fragment.charFormat()))
                    text +=
                        "[" + fragment.charFormat().stringProperty(PageFormat::PictureSource) + "]";
                else
                    text += fragment.text();
            }
            blocks.push_back(text);
        }
        return blocks;
    }

    // The format of the first character of `text` in the document.
    QTextCharFormat FormatOf(const QString& text) const {
        const QTextCursor found = Document.find(text);
        EXPECT_FALSE(found.isNull()) << text.toStdString();
        QTextCursor cursor(found.block());
        cursor.setPosition(found.selectionStart() + 1);
        return cursor.charFormat();
    }

    QTextBlockFormat BlockOf(const QString& text) const {
        return Document.find(text).block().blockFormat();
    }

    std::vector<TGraphic*> Pictures() const {
        std::vector<TGraphic*> pictures;
        for (QTextBlock block = Document.begin(); block.isValid(); block = block.next())
            for (auto it = block.begin(); !it.atEnd(); ++it)
                if (TGraphic* picture = TPageImporter::Picture(it.fragment().charFormat()))
                    pictures.push_back(picture);
        return pictures;
    }

    QTextDocument Document;
    TPageImporter Importer{Document};
    std::vector<TRequest> Requests;
    TDrawLog Log;
    bool AnswerNull = false;
};

TEST_F(PageImport, CharacterStylesSwitchOnAndOffWhateverTheLetterCase) {
    Load("a<B>b</b>c<strong>d</STRONG><i>e</i><EM>f</em><u>g</u><strike>h</strike>i");
    EXPECT_FALSE(FormatOf("a").font().bold());
    EXPECT_TRUE(FormatOf("b").font().bold());
    EXPECT_FALSE(FormatOf("c").font().bold());
    EXPECT_TRUE(FormatOf("d").font().bold());
    EXPECT_TRUE(FormatOf("e").fontItalic());
    EXPECT_TRUE(FormatOf("f").fontItalic());
    EXPECT_TRUE(FormatOf("g").fontUnderline());
    EXPECT_TRUE(FormatOf("h").fontStrikeOut());
    const QTextCharFormat plain = FormatOf("i");
    EXPECT_FALSE(plain.font().bold() || plain.fontItalic() || plain.fontUnderline() ||
                 plain.fontStrikeOut());
}

TEST_F(PageImport, ParagraphsRulesWhitespaceAndReferences) {
    struct TCase {
        const char* Page;
        std::vector<QString> Blocks;
    };
    const TCase cases[] = {
        {"a<br>b", {"a", "b"}},
        {"a<br><br>b", {"a", "", "b"}},
        {"<b>Name</b><br>\r<br>\rType<br>", {"Name", "", "Type", ""}},
        {"a<p>b</p>c", {"a", "bc"}},
        {"<p>a</p><p>b</p>", {"a", "b"}},
        {"a<div>b</div>c", {"abc"}},
        {"a<hr>b", {"a", "---", "b"}},
        {"<div>a<br></div><hr><div>b<br></div>", {"a", "---", "b", ""}},
        {"a  \t\r\n b", {"a b"}},
        {"a <b> b</b>", {"a b"}},
        {"a<br> b", {"a", "b"}},
        {"a<p> b", {"a", "b"}},
        {"a</div> b", {"ab"}},
        {"a<div> b", {"a b"}},
        {"&quot;&amp;&lt;b&gt;&eacute;&yuml;&iexcl;&#65;&#x42;", {"\"&<b>\u00e9\u00ff\u00a1AB"}},
        {"a&nbsp;&nbsp;b", {"a b"}},
        {"&bogus; & &amp &#0; &#xZZ;", {"&bogus; & &amp &#0; &#xZZ;"}},
        {"a<title>t</title>b<SCRIPT>if (a<b) x</script>c<style>p{}</style>d"
         "<noembed>n</noembed>e<!-- <b>c</b> -->f",
         {"abcdef"}},
        {"<span>a</span><foo bar=\"1\">b<!DOCTYPE x>c", {"abc"}},
        {"1 < 2 <3> <", {"1 < 2 <3> <"}},
        {"a<script>never closed", {"a"}},
        {"a<!-- never closed", {"a"}},
        {".gif\" width=16 height=16 vshift=-3>", {".gif\" width=16 height=16 vshift=-3>"}},
    };
    for (const TCase& c : cases) {
        Load(c.Page);
        EXPECT_EQ(Blocks(), c.Blocks) << c.Page;
    }
}

TEST_F(PageImport, AlignmentFollowsParagraphsAndReturnsAtEndTags) {
    Load("<p align=right>r</p><p>l<div align=CENTER><p>c</p></div><p>back"
         "<div align=right><p align=bogus>kept");
    EXPECT_EQ(BlockOf("r").alignment(), Qt::AlignRight);
    EXPECT_EQ(BlockOf("l").alignment(), Qt::AlignLeft);
    EXPECT_EQ(BlockOf("c").alignment(), Qt::AlignHCenter);
    EXPECT_EQ(BlockOf("back").alignment(), Qt::AlignLeft);
    EXPECT_EQ(BlockOf("kept").alignment(), Qt::AlignRight);
}

TEST_F(PageImport, LinksAreBlueUnderlinedAndRecordTheirTarget) {
    Load("<i>x<a href=\"card_one\">go <b>now</b><a href=other>in</a>ner</a> after</i>"
         "<a name=\"top\">anchor</a>");
    for (const char* inLink : {"go", "now", "in", "ner"}) {
        const QTextCharFormat format = FormatOf(inLink);
        EXPECT_EQ(format.anchorHref(), "0") << inLink;
        EXPECT_EQ(format.foreground().color(), QColor(Qt::blue)) << inLink;
        EXPECT_TRUE(format.fontUnderline()) << inLink;
        EXPECT_FALSE(format.font().bold() || format.fontItalic()) << inLink;
    }
    const QTextCharFormat after = FormatOf("after");
    EXPECT_FALSE(after.isAnchor());
    EXPECT_FALSE(after.fontUnderline());
    EXPECT_TRUE(after.fontItalic());
    EXPECT_EQ(after.foreground().color(), QColor(Qt::black));
    ASSERT_NE(Importer.LinkTarget(0), nullptr);
    EXPECT_EQ(*Importer.LinkTarget(0), "card_one");
    EXPECT_EQ(Importer.LinkTarget(1), nullptr);
    const QTextCharFormat anchor = FormatOf("anchor");
    EXPECT_EQ(anchor.anchorNames(), QStringList{"top"});
    EXPECT_TRUE(anchor.anchorHref().isEmpty());
    EXPECT_FALSE(anchor.fontUnderline());
}

TEST_F(PageImport, PicturesAreRequestedSizedAndInserted) {
    Load("{<img src=\"T.gif\" width=16 height=16 vshift=-3>: Add "
         "<IMG SRC='G.gif' WIDTH=\"5\">. <img width=abc height=20 vshift=x><img width=-4>}");
    const std::vector<TRequest> expected = {
        {"T.gif", 16, 16}, {"G.gif", 5, 0}, {"", 0, 20}, {"", -4, 0}};
    EXPECT_EQ(Requests, expected);
    EXPECT_EQ(Blocks(), (std::vector<QString>{"{[T.gif]: Add [G.gif]. [][]}"}));
    const std::vector<TGraphic*> pictures = Pictures();
    ASSERT_EQ(pictures.size(), 4u);
    const std::pair<int, int> sizes[] = {{16, 16}, {5, 12}, {10, 20}, {10, 12}};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(pictures[i]->GetWidth(), sizes[i].first) << i;
        EXPECT_EQ(pictures[i]->GetHeight(), sizes[i].second) << i;
    }
    EXPECT_EQ(
        FormatOf(QString(QChar::ObjectReplacementCharacter)).intProperty(PageFormat::PictureShift),
        -3);
}

TEST_F(PageImport, HugePictureSizesAndShiftsAreBounded) {
    Load("<img width=2147483647 height=99999 vshift=-2147483648>"
         "<img width=5 height=5 vshift=2147483647>");
    const std::vector<TGraphic*> pictures = Pictures();
    ASSERT_EQ(pictures.size(), 2u);
    EXPECT_EQ(QSize(pictures[0]->GetWidth(), pictures[0]->GetHeight()), QSize(32767, 32767));
    QImage image(100, 100, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    Document.drawContents(&painter);
    ASSERT_EQ(Log.Rects.size(), 2u);
    // On one baseline: the first (32767 high, moved down 32767) starts at the baseline, the
    // second (5 high, moved up 32767) starts 5 + 32767 above it.
    EXPECT_EQ(Log.Rects[1].top() - Log.Rects[0].top(), -5 - 32767);
}

TEST_F(PageImport, NullPictureInsertsNothingAndPictureInLinkCarriesIt) {
    AnswerNull = true;
    Load("a<img src=x.gif>b");
    EXPECT_EQ(Requests.size(), 1u);
    EXPECT_EQ(Blocks(), std::vector<QString>{"ab"});
    AnswerNull = false;
    Load("<a href=target><img src=x.gif></a>");
    ASSERT_EQ(Pictures().size(), 1u);
    EXPECT_EQ(FormatOf(QString(QChar::ObjectReplacementCharacter)).anchorHref(), "0");
}

TEST_F(PageImport, PictureIsDrawnShiftedFromItsBaselinePlace) {
    const auto drawnRect = [this](const char* page) {
        Log.Rects.clear();
        Load(page);
        QImage image(200, 100, QImage::Format_ARGB32_Premultiplied);
        QPainter painter(&image);
        Document.drawContents(&painter);
        return Log.Rects.empty() ? QRect() : Log.Rects.front();
    };
    const QRect unshifted = drawnRect("x<img src=a width=16 height=16>");
    const QRect shifted = drawnRect("x<img src=a width=16 height=16 vshift=-3>");
    const QRect raised = drawnRect("x<img src=a width=16 height=16 vshift=5>");
    ASSERT_EQ(unshifted.size(), QSize(16, 16));
    EXPECT_EQ(shifted, unshifted.translated(0, 3));
    EXPECT_EQ(raised, unshifted.translated(0, -5));
}

TEST_F(PageImport, EachLoadStartsFromAnEmptyDocument) {
    Load("<a href=a>old</a><img src=x><b>bold");
    Load("new");
    EXPECT_EQ(Blocks(), std::vector<QString>{"new"});
    EXPECT_EQ(Log.Destroyed, 1);
    EXPECT_EQ(Importer.LinkTarget(0), nullptr);
    EXPECT_FALSE(FormatOf("new").font().bold());
}

TEST_F(PageImport, AppearanceIsTimesTwelveBlackAndPreIsCourierTen) {
    Load("text<pre>a  b\r\n  c</pre>after");
    const QTextCharFormat text = FormatOf("text");
    EXPECT_EQ(text.fontFamilies().toStringList(), QStringList{"Times New Roman"});
    EXPECT_EQ(text.fontPointSize(), 12);
    EXPECT_EQ(text.foreground().color(), QColor(Qt::black));
    EXPECT_EQ(Document.defaultFont().family(), "Times New Roman");
    const QTextCharFormat pre = FormatOf("a  b");
    EXPECT_EQ(pre.fontFamilies().toStringList(), QStringList{"Courier New"});
    EXPECT_EQ(pre.fontPointSize(), 10);
    EXPECT_EQ(Blocks(), (std::vector<QString>{"text", "a  b", "  c", "after"}));
    EXPECT_EQ(FormatOf("after").fontPointSize(), 12);
}

TEST_F(PageImport, MarkupBeyondTheCardFragmentsRendersReasonably) {
    Load("<h1>Head</h1><font face=\"Arial,sans\" size=+2 color=red>big</font>small"
         "<center>mid</center><ul><li>one<li>two</ul><ol><li>first</ol>"
         "<table><tr><td>c1<td>c2</tr></table>");
    EXPECT_TRUE(FormatOf("Head").font().bold());
    EXPECT_GT(FormatOf("Head").fontPointSize(), 12);
    const QTextCharFormat big = FormatOf("big");
    EXPECT_EQ(big.fontFamilies().toStringList(), QStringList{"Arial"});
    EXPECT_EQ(big.fontPointSize(), 18);
    EXPECT_EQ(big.foreground().color(), QColor(Qt::red));
    EXPECT_EQ(FormatOf("small").fontPointSize(), 12);
    EXPECT_EQ(BlockOf("mid").alignment(), Qt::AlignHCenter);
    EXPECT_EQ(Blocks(), (std::vector<QString>{"Head", "bigsmall", "mid", "\u2022 one", "\u2022 two",
                                              "1. first", "c1\tc2", ""}));
}

// Found by fuzzing: a relative size at the end of the int range overflowed.
TEST_F(PageImport, FontSizesBeyondTheIntegerRangeClampToTheScale) {
    const std::pair<const char*, qreal> cases[] = {{"+2147483647", 36}, {"--2147483648", 36},
                                                   {"-+2147483647", 8}, {"2147483647", 36},
                                                   {"-2147483648", 12}, {"+99999999999", 12}};
    for (const auto& [size, points] : cases) {
        Load("<font size=" + std::string(size) + ">sized</font>");
        EXPECT_EQ(FormatOf("sized").fontPointSize(), points) << size;
    }
}

TEST_F(PageImport, FailingPictureRequestKeepsWhatWasRendered) {
    Importer.SetPictureRequest([](const std::string&, int, int) -> std::unique_ptr<TGraphic> {
        throw Exception("Unsupported image format: x.tif");
    });
    EXPECT_THROW(Load("before<img src=x.tif>after"), Exception);
    EXPECT_EQ(Blocks(), std::vector<QString>{"before"});
}

TEST_F(PageImport, HostileInputRendersWithoutRecursionOrQuadraticWork) {
    const int depth = 10000;
    std::string nested;
    for (int i = 0; i < depth; ++i)
        nested += "<div align=center><font size=+1><b><a href=x><p><ul><li>";
    nested += "deep";
    for (int i = 0; i < depth; ++i)
        nested += "</li></ul></p></a></b></font></div>";
    Load(nested);
    EXPECT_EQ(FormatOf("deep").anchorHref(), "0");

    std::string megabyte;
    while (megabyte.size() < (1u << 20))
        megabyte += "<a x='<b <i &amp &#99999999; <img src=\" width=q>{x}<br>";
    Load(megabyte);
    EXPECT_GT(Document.blockCount(), 10000);

    Load(std::string(1 << 20, '<') + "b>x");
    EXPECT_EQ(Document.blockCount(), 1);
    Load(std::string(1 << 20, '&'));
    EXPECT_EQ(Document.characterCount(), (1 << 20) + 1);
}

} // namespace
