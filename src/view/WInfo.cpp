#include "view/WInfo.h"
#include "common/ExtUtils.h"
#include "common/Win1252.h"
#include "data/Data.h"
#include "view/CardPictures.h"
#include "view/PageImport.h"
#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QTextBlock>
#include <QTextBrowser>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

QPointer<QWidget> MainWindow;
std::function<void(const std::string&)> OpenCard;
TInfoForm* Reusable = nullptr;
int WindowWidth = 0;

constexpr int ToolDockHeight = 26;
constexpr int CardImageWidth = 195;
constexpr int CascadeTolerance = 2;
const char* const PlainTextRule = "----------------------------------------";

// The main window's outer frame; windows dock to its top-right corner and cascade from it.
QRect MainFrame() {
    return MainWindow ? MainWindow->frameGeometry() : QRect();
}
QSize MainSize() {
    return MainWindow ? MainWindow->size() : QSize();
}
QPoint DockPosition() {
    return MainFrame().topLeft() + QPoint(MainFrame().width(), 0);
}

void UseWidthOfMainWindowOnFirstUse() {
    if (WindowWidth == 0)
        WindowWidth = 2 * MainSize().width();
}

bool CascadePositionTaken(QPoint candidate) {
    TStringHashList<TInfoForm>& windows = CardWindows();
    for (int i = 0; i < windows.Count(); ++i) {
        const QPoint taken = windows.Objects(i)->pos();
        if (std::abs(taken.x() - candidate.x()) <= CascadeTolerance &&
            std::abs(taken.y() - candidate.y()) <= CascadeTolerance)
            return true;
    }
    return false;
}

// A picture of the plain-text page: stands for its symbol, draws nothing.
class TTextPicture : public TGraphic {
public:
    void Draw(QPainter&, const QRect&) override {}
    bool GetEmpty() const override { return true; }
    int GetWidth() const override { return FWidth; }
    int GetHeight() const override { return FHeight; }
    void SetWidth(int value) override { FWidth = value; }
    void SetHeight(int value) override { FHeight = value; }

private:
    int FWidth = 0;
    int FHeight = 0;
};

// A picture in plain text is its symbol in braces, as the card texts write it.
QString PictureText(const QTextFormat& format) {
    QString symbol = format.stringProperty(PageFormat::PictureSource);
    if (symbol.endsWith(".gif", Qt::CaseInsensitive))
        symbol.chop(4);
    return "{" + symbol + "}";
}

QString BlockPlainText(const QTextBlock& block) {
    if (block.blockFormat().hasProperty(QTextFormat::BlockTrailingHorizontalRulerWidth))
        return PlainTextRule;
    QString text;
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        if (TPageImporter::Picture(fragment.charFormat()))
            text += PictureText(fragment.charFormat()).repeated(fragment.length());
        else
            text += fragment.text();
    }
    return text;
}

} // namespace

TInfoForm::TInfoForm(const std::string& id)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      FKey(id) {
    setObjectName("InfoForm");
    setAttribute(Qt::WA_DeleteOnClose);
    QFont windowFont("MS Sans Serif");
    windowFont.setPointSize(8);
    setFont(windowFont);
    resize(439, 434);

    FToolbar = new QToolBar(this);
    FToolbar->setObjectName("TBXToolbar1");
    FToolbar->setFixedHeight(ToolDockHeight);
    FToolbar->setMovable(false);
    FToolbar->setFloatable(false);

    FRichView = new QTextBrowser(this);
    FRichView->setObjectName("RichView");
    FRichView->setFrameShape(QFrame::NoFrame);
    FRichView->setReadOnly(true);
    FRichView->setOpenLinks(false);
    QFont pageFont("Times New Roman");
    pageFont.setPointSize(12);
    FRichView->setFont(pageFont);
    QPalette palette = FRichView->palette();
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Text, Qt::black);
    FRichView->setPalette(palette);
    connect(FRichView, &QTextBrowser::anchorClicked, this, &TInfoForm::RichViewJump);

    FCardImage = new QLabel(this);
    FCardImage->setObjectName("CardImage");
    FCardImage->setFixedWidth(CardImageWidth);
    FCardImage->hide();

    auto* page = new QHBoxLayout;
    page->setContentsMargins(0, 0, 0, 0);
    page->setSpacing(0);
    page->addWidget(FRichView);
    page->addWidget(FCardImage);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(FToolbar);
    layout->addLayout(page);

    FImporter = std::make_unique<TPageImporter>(*FRichView->document());
    FImporter->SetPictureRequest(PictureNeeded);
    CardWindows().Add(FKey, this);
}

TInfoForm::~TInfoForm() {
    if (Reusable == this)
        Reusable = nullptr;
    CardWindows().Remove(FKey);
}

void TInfoForm::SetItem(const TDataItem* item) {
    FItem = item;
    ComposePage();
}

void TInfoForm::ComposePage() {
    FImporter->Load({});
    setWindowTitle(FItem ? AnsiToQString(FItem->DisplayName()) : QString());
    if (FItem)
        FImporter->Load(ComposePageText(FItem));
    FRichView->viewport()->update();
}

// A key that another window holds raises the registry's error and changes nothing.
void TInfoForm::Rekey(const std::string& id) {
    CardWindows().Remove(FKey);
    try {
        CardWindows().Add(id, this);
    } catch (...) {
        CardWindows().Add(FKey, this);
        throw;
    }
    FKey = id;
}

void TInfoForm::ShowActive() {
    show();
    raise();
    activateWindow();
}

void TInfoForm::ShowInactive() {
    QWidget* active = QApplication::activeWindow();
    if (!isVisible()) {
        setAttribute(Qt::WA_ShowWithoutActivating);
        show();
    }
    raise();
    if (active && active == MainWindow) {
        MainWindow->raise();
        MainWindow->activateWindow();
    }
}

void TInfoForm::PlaceBesideMainWindow() {
    move(DockPosition());
    // A hidden window gets its move event only when shown; the test must not wait for it.
    DockingTest();
}

void TInfoForm::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    DockingTest();
}

void TInfoForm::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    DockingTest();
}

void TInfoForm::RichViewJump(const QUrl& link) {
    bool isNumber = false;
    const int jump = link.toString().toInt(&isNumber);
    const std::string* target = isNumber ? FImporter->LinkTarget(jump) : nullptr;
    if (target && OpenCard)
        OpenCard(*target);
}

// The reusable window keeps its role only while its frame sits exactly at the dock position.
void TInfoForm::DockingTest() {
    if (Reusable != this)
        return;
    if (pos() == DockPosition())
        WindowWidth = std::max(MainSize().width(), width());
    else
        Reusable = nullptr;
}

void SetMainWindow(QWidget* window, std::function<void(const std::string& id)> openCard) {
    MainWindow = window;
    OpenCard = std::move(openCard);
    static const bool closeAtExit =
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, &CloseAllCardWindows);
    Q_UNUSED(closeAtExit);
}

TStringHashList<TInfoForm>& CardWindows() {
    static TStringHashList<TInfoForm> registry(false, 256, false);
    return registry;
}

TInfoForm* ReusableCardWindow() {
    return Reusable;
}

int CardWindowWidth() {
    return WindowWidth;
}

TInfoForm* GetCardWindow(const std::string& id) {
    TInfoForm* window = nullptr;
    if (CardWindows().TryGetObject(id, window))
        return window;
    UseWidthOfMainWindowOnFirstUse();
    if (Reusable) {
        Reusable->SetItem(nullptr);
        Reusable->Rekey(id);
        return Reusable;
    }
    window = new TInfoForm(id);
    Reusable = window;
    window->move(DockPosition());
    window->resize(WindowWidth, MainSize().height());
    return window;
}

TInfoForm* NewCardWindow(const std::string& id) {
    TInfoForm* window = nullptr;
    if (CardWindows().TryGetObject(id, window))
        return window;
    UseWidthOfMainWindowOnFirstUse();
    const QPoint position = FindCascadePosition();
    window = new TInfoForm(id);
    window->move(position);
    window->resize(WindowWidth, MainSize().height());
    return window;
}

QPoint FindCascadePosition() {
    const QPoint origin = DockPosition();
    QPoint base = origin;
    QPoint candidate = origin;
    for (;;) {
        candidate += QPoint(30, 20);
        if (candidate.y() - origin.y() > 200) {
            base.rx() += 20;
            candidate = base;
        }
        if (base.x() - origin.x() > 300) {
            base = QPoint(origin.x(), base.y() + 20);
            candidate = base;
        }
        if (base.y() - origin.y() > 200)
            return origin;
        if (!CascadePositionTaken(candidate))
            return candidate;
    }
}

void CloseAllCardWindows() {
    while (CardWindows().Count() > 0)
        delete CardWindows().Objects(0);
}

void ResetCardWindowsForTesting() {
    CloseAllCardWindows();
    WindowWidth = 0;
}

std::string ComposePageText(const TDataItem* item) {
    std::string page;
    if (!item)
        return page;
    for (std::int32_t value = 0; value < item->ValueCount(); ++value) {
        const IXMLDOMNodeList children = item->Values(value).Node.childNodes();
        const std::int32_t count = children.length();
        for (std::int32_t i = 0; i < count; ++i) {
            const IXMLDOMNode child = children.item(i);
            if (child.nodeType() != NodeCDataSection)
                continue;
            if (!page.empty())
                page += "<hr>";
            page += "<div>" + child.nodeValue() + "<br></div>";
        }
    }
    page = ReplaceAll(page, "{", "<img src=\"");
    return ReplaceAll(page, "}", ".gif\" width=16 height=16 vshift=-3>");
}

std::string PagePlainText(const TDataItem* item) {
    QTextDocument document;
    TPageImporter importer(document);
    importer.SetPictureRequest(
        [](const std::string&, int, int) { return std::make_unique<TTextPicture>(); });
    importer.Load(ComposePageText(item));
    std::vector<QString> lines;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        lines.push_back(BlockPlainText(block));
    while (!lines.empty() && lines.back().isEmpty())
        lines.pop_back();
    QString text;
    for (const QString& line : lines)
        text += line + "\n";
    return QStringToAnsi(text);
}
