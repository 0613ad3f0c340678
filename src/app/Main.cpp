#include "app/Main.h"
#include "app/ShortCuts.h"
#include "app/WPreferences.h"

#include "common/Win1252.h"
#include "data/Data.h"
#include "import/Import.h"
#include "platform/GlobalHotKeys.h"
#include "platform/SingleInstance.h"
#include "view/WInfo.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QScopeGuard>
#include <QStyledItemDelegate>
#include <QToolBar>
#include <QVBoxLayout>
#include <cstdio>
#include <span>

namespace {

const QSize MainWindowOuterSize(258, 434);
const QPoint MainWindowPosition(6, 6);
const int SearchStripHeight = 27;
const int SearchEditHeight = 23;
const int RowHeight = 17;
const int ListFontPixels = 12;
const char* const ImportMachinePath = "E:\\Projects\\Lorewick\\Lorewick.exe";

// When a key is passed from one control to the other.
enum class TCtrlRule { Always, WithCtrl, WithoutCtrl };
struct TSharedKey {
    int Key;
    TCtrlRule When;
};

// Navigation typed in the search box moves the list...
const TSharedKey SearchEditKeys[] = {
    {Qt::Key_PageUp, TCtrlRule::Always}, {Qt::Key_PageDown, TCtrlRule::Always},
    {Qt::Key_Up, TCtrlRule::Always},     {Qt::Key_Down, TCtrlRule::Always},
    {Qt::Key_End, TCtrlRule::WithCtrl},  {Qt::Key_Home, TCtrlRule::WithCtrl},
};
// ...and editing keys pressed in the list edit the search box.
const TSharedKey DataGridKeys[] = {
    {Qt::Key_Backspace, TCtrlRule::Always}, {Qt::Key_Left, TCtrlRule::Always},
    {Qt::Key_Right, TCtrlRule::Always},     {Qt::Key_Delete, TCtrlRule::Always},
    {Qt::Key_End, TCtrlRule::WithoutCtrl},  {Qt::Key_Home, TCtrlRule::WithoutCtrl},
};

bool IsSharedKey(std::span<const TSharedKey> table, const QKeyEvent* event) {
    const bool ctrl = event->modifiers().testFlag(Qt::ControlModifier);
    for (const TSharedKey& shared : table)
        if (shared.Key == event->key())
            return shared.When == TCtrlRule::Always || (shared.When == TCtrlRule::WithCtrl) == ctrl;
    return false;
}

// Hands a key to the other control without moving the keyboard focus.
void PassKey(const QKeyEvent* event, QWidget* receiver, Qt::KeyboardModifiers modifiers) {
    QKeyEvent passed(QEvent::KeyPress, event->key(), modifiers, event->text(),
                     event->isAutoRepeat(), static_cast<ushort>(event->count()));
    QCoreApplication::sendEvent(receiver, &passed);
}

bool IsTypedCharacter(const QKeyEvent* event) {
    const QString text = event->text();
    return !text.isEmpty() && text.at(0).isPrint() &&
           !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
}

// Keeps a flag set for the life of a scope, also when an error passes.
class TBusyScope {
public:
    explicit TBusyScope(bool& flag) : FFlag(flag) { FFlag = true; }
    ~TBusyScope() { FFlag = false; }

private:
    bool& FFlag;
};

// The search box: its entering from another control cancels the selection, and it keeps
// no undo history.
class TSearchEdit : public QLineEdit {
public:
    using QLineEdit::QLineEdit;
    std::function<void()> OnEnter;

protected:
    void focusInEvent(QFocusEvent* event) override {
        QLineEdit::focusInEvent(event);
        // Coming back to the window or from a menu is no entering.
        const bool entered = event->reason() != Qt::ActiveWindowFocusReason &&
                             event->reason() != Qt::PopupFocusReason;
        if (entered && OnEnter)
            OnEnter();
    }
    void keyPressEvent(QKeyEvent* event) override {
        if (event->matches(QKeySequence::Undo) || event->matches(QKeySequence::Redo))
            return event->accept();
        QLineEdit::keyPressEvent(event);
    }
    void contextMenuEvent(QContextMenuEvent* event) override {
        QMenu* menu = createStandardContextMenu();
        for (QAction* action : menu->actions())
            if (action->objectName() == "edit-undo" || action->objectName() == "edit-redo")
                menu->removeAction(action);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(event->globalPos());
    }
};

// The card list: a double click first lets the list make the clicked row current.
class TCardListView : public QListView {
public:
    using QListView::QListView;
    std::function<void(Qt::KeyboardModifiers)> OnDblClick;

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override {
        QListView::mouseDoubleClickEvent(event);
        if (OnDblClick)
            OnDblClick(event->modifiers());
    }
};

// Rows of fixed height, drawn without focus rectangle or hover highlight.
class TCardRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return {QStyledItemDelegate::sizeHint(option, index).width(), RowHeight};
    }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        option->state &= ~(QStyle::State_HasFocus | QStyle::State_MouseOver);
    }
};

QFont ListFont() {
    QFont font("Arial");
    font.setPixelSize(ListFontPixels);
    return font;
}

// The current row and the search box selection keep their colours when the window or the
// control is not active.
void KeepHighlightWhenInactive(QWidget* widget) {
    QPalette palette = widget->palette();
    for (const auto role : {QPalette::Highlight, QPalette::HighlightedText})
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    widget->setPalette(palette);
}

// The program's icon: a card with a lit wick.
QIcon ProgramIcon() {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(70, 45, 20), 2));
    painter.setBrush(QColor(245, 235, 205));
    painter.drawRoundedRect(QRectF(6, 2, 20, 28), 3, 3);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(230, 140, 30));
    painter.drawEllipse(QRectF(12, 7, 8, 11));
    painter.setBrush(QColor(60, 60, 60));
    painter.drawRect(QRectF(15, 17, 2, 8));
    painter.end();
    return QIcon(pixmap);
}

} // namespace

Qt::KeyboardModifiers KeyDataFromShift(Qt::KeyboardModifiers shift) {
    return shift & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
}

bool ImportCommandVisible(const QString& executablePath) {
    return executablePath == QLatin1String(ImportMachinePath);
}

// --- card list model ---------------------------------------------------------------------

int TCardListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : FCards.Count();
}

QVariant TCardListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= FCards.Count())
        return {};
    return AnsiToQString(FCards.Row(index.row()).Text);
}

void TCardListModel::Fill(const TDatabase* database) {
    beginResetModel();
    const auto endReset = qScopeGuard([this] { endResetModel(); });
    if (database)
        FCards.Fill(*database);
    else
        FCards.Clear();
}

void TCardListModel::Sort() {
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const std::vector<int> moved = FCards.Sort();
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& index : before)
        after.append(index.isValid() ? createIndex(moved[index.row()], 0) : index);
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

// --- main window -------------------------------------------------------------------------

TMainForm::TMainForm(bool debugSwitch, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                              Qt::WindowCloseButtonHint),
      FDebugSwitch(debugSwitch) {
    setWindowTitle("Lorewick");
    setWindowIcon(ProgramIcon());
    CreateActions();
    CreateMenus();
    CreateToolBars();
    CreateCardList();
    CreateTrayIcon();

    resize(MainWindowOuterSize);
    move(MainWindowPosition);
    SearchEdit->setFocus();

    ClipboardMonitor = new TClipboardMonitor(this);
    connect(ClipboardMonitor, &TClipboardMonitor::Change, this, &TMainForm::ClipboardMonitorChange);
    FHotKeys = CreateGlobalHotKeys();
    connect(FHotKeys.get(), &TGlobalHotKeys::HotKeyPressed, this, &TMainForm::WMHotKey);
    ApplySettings(LoadSettings());

    connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this,
            &TMainForm::ActionListUpdate);
    connect(qApp, &QGuiApplication::commitDataRequest, this, &TMainForm::SessionEnding);
    connect(qApp, &QCoreApplication::aboutToQuit, this, &TMainForm::CloseAllCards);
    // Card windows may close while this window waits hidden: only Exit ends the program.
    QApplication::setQuitOnLastWindowClosed(false);
    SetMainWindow(this, [this](const std::string& id) { OpenCard(id); });
    SetInstanceWindowClass(this);
}

TMainForm::~TMainForm() {
    FHotKeys->Unregister(HotKeySearch);
    FHotKeys->Unregister(HotKeyOpen);
    CloseAllCards();
    SetMainWindow(nullptr, nullptr);
}

QAction* TMainForm::NewAction(const QString& caption) {
    auto* action = new QAction(caption, this);
    ActionList.append(action);
    connect(action, &QAction::triggered, this, [this, action] { ActionListExecute(action); });
    return action;
}

void TMainForm::CreateActions() {
    aFile = NewAction("File");
    aEdit = NewAction("Edit");
    aView = NewAction("View");
    aService = NewAction("Service");
    aHelp = NewAction("Help");
    aClose = NewAction("Exit");
    aShowCard = NewAction("Show Card");
    aShowCard->setShortcuts({QKeySequence(Qt::Key_Enter), QKeySequence(Qt::Key_Return)});
    aShowNewCard = NewAction("Show New Card");
    aShowNewCard->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Enter), QKeySequence(Qt::CTRL | Qt::Key_Return)});
    aImport = NewAction("Import Database");
    aPreferences = NewAction("Preferences...");
    aAbout = NewAction("About");
    aAutoShow = NewAction("Auto Show");
    aAutoShow->setCheckable(true);
    aCloseAllCards = NewAction("Close All");
    aOpen = NewAction("Open");
    QFont bold = aOpen->font();
    bold.setBold(true);
    aOpen->setFont(bold);
    // The keys act wherever the focus is in this window.
    addActions(ActionList);
}

void TMainForm::CreateMenus() {
    const auto addMenu = [this](QAction* title, const QList<QAction*>& entries) {
        auto* menu = new QMenu(this);
        for (QAction* entry : entries) {
            if (entry)
                menu->addAction(entry);
            else
                menu->addSeparator();
        }
        connect(menu, &QMenu::aboutToShow, this, &TMainForm::ActionListUpdate);
        title->setMenu(menu);
        menuBar()->addAction(title);
    };
    addMenu(aFile, {aClose});
    addMenu(aEdit, {});
    addMenu(aView, {aShowCard, aShowNewCard});
    addMenu(aService, {aImport});
    addMenu(aHelp, {aPreferences, nullptr, aAbout});
}

void TMainForm::CreateToolBars() {
    const auto fixedBar = [this](Qt::ToolBarArea area, const QList<QAction*>& actions) {
        auto* bar = new QToolBar(this);
        bar->setMovable(false);
        bar->setFloatable(false);
        bar->setContextMenuPolicy(Qt::PreventContextMenu);
        bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
        bar->addActions(actions);
        addToolBar(area, bar);
        for (QAction* action : actions)
            bar->widgetForAction(action)->installEventFilter(this);
        return bar;
    };
    AutoShowBar = fixedBar(Qt::TopToolBarArea, {aAutoShow});
    BottomBar = fixedBar(Qt::BottomToolBarArea, {aShowCard, aCloseAllCards});
}

void TMainForm::CreateCardList() {
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    FCards = new TCardListModel(this);
    auto* dataGrid = new TCardListView(central);
    dataGrid->OnDblClick = [this](Qt::KeyboardModifiers modifiers) { DataGridDblClick(modifiers); };
    DataGrid = dataGrid;
    DataGrid->setModel(FCards);
    DataGrid->setItemDelegate(new TCardRowDelegate(DataGrid));
    DataGrid->setUniformItemSizes(true);
    DataGrid->setFont(ListFont());
    DataGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    DataGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DataGrid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    DataGrid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    DataGrid->viewport()->setAttribute(Qt::WA_Hover, false);
    KeepHighlightWhenInactive(DataGrid);
    layout->addWidget(DataGrid, 1);

    auto* strip = new QWidget(central);
    strip->setFixedHeight(SearchStripHeight);
    auto* stripLayout = new QVBoxLayout(strip);
    stripLayout->setContentsMargins(0, SearchStripHeight - SearchEditHeight, 0, 0);
    auto* searchEdit = new TSearchEdit(strip);
    searchEdit->OnEnter = [this] { SearchEditEnter(); };
    SearchEdit = searchEdit;
    SearchEdit->setFixedHeight(SearchEditHeight);
    SearchEdit->setFont(ListFont());
    SearchEdit->setTextMargins(6, 2, 1, 0);
    KeepHighlightWhenInactive(SearchEdit);
    stripLayout->addWidget(SearchEdit);
    layout->addWidget(strip);
    setCentralWidget(central);

    connect(SearchEdit, &QLineEdit::textChanged, this, &TMainForm::SearchEditChange);
    connect(DataGrid->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &TMainForm::DataGridItemSelectedChange);
    SearchEdit->installEventFilter(this);
    DataGrid->installEventFilter(this);
}

void TMainForm::CreateTrayIcon() {
    PopupMenu = new QMenu(this);
    PopupMenu->addAction(aOpen);
    PopupMenu->addAction(aClose);
    PopupMenu->setDefaultAction(aOpen);
    connect(PopupMenu, &QMenu::aboutToShow, this, &TMainForm::ActionListUpdate);
    TrayIcon = new QSystemTrayIcon(windowIcon(), this);
    TrayIcon->setToolTip("Lorewick");
    TrayIcon->setContextMenu(PopupMenu);
    connect(TrayIcon, &QSystemTrayIcon::activated, this, &TMainForm::TrayIconActivated);
    static bool toldNoTray = false;
    if (!QSystemTrayIcon::isSystemTrayAvailable() && !toldNoTray) {
        toldNoTray = true;
        std::fprintf(stderr,
                     "Lorewick: no system tray is available; the hotkeys and a second start "
                     "open the window.\n");
    }
    // Shown also without a tray: a tray that starts later still receives the icon.
    TrayIcon->show();
}

void TMainForm::TrayIconActivated(QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::DoubleClick)
        RunAction(aOpen);
}

// --- actions -----------------------------------------------------------------------------

void TMainForm::RunAction(QAction* action) {
    ActionListUpdate();
    action->trigger();
}

void TMainForm::ActionListUpdate() {
    aClose->setEnabled(true);
    aImport->setVisible(ImportCommandVisible(QCoreApplication::applicationFilePath()));
    aShowCard->setEnabled(CurrentItem() != nullptr);
}

void TMainForm::ActionListExecute(QAction* action) {
    if (action == aClose)
        Exit();
    else if (action == aShowCard) {
        if (const TDataItem* item = CurrentItem())
            ShowCard(item, false, false);
    } else if (action == aShowNewCard) {
        if (const TDataItem* item = CurrentItem())
            ShowCard(item, true, false);
    } else if (action == aImport)
        ImportDatabase(); // takes effect at the next start
    else if (action == aAutoShow) {
        if (aAutoShow->isChecked())
            RunAction(aShowCard);
    } else if (action == aCloseAllCards)
        CloseAllCards();
    else if (action == aOpen)
        Open();
    else if (action == aPreferences)
        Preferences();
}

const TDataItem* TMainForm::CurrentItem() const {
    const QModelIndex current = DataGrid->currentIndex();
    return current.isValid() ? FCards->Cards().Row(current.row()).Item : nullptr;
}

// --- showing, hiding, ending ---------------------------------------------------------------

void TMainForm::Open() {
    if (isMinimized())
        setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
    SearchEdit->setFocus();
}

void TMainForm::Exit() {
    close();
    CloseAllCards();
    QCoreApplication::exit(0);
}

void TMainForm::CloseAllCards() {
    CloseAllCardWindows();
}

void TMainForm::SessionEnding() {
    FSessionEnding = true;
}

void TMainForm::ServeOtherStarts(TSingleInstance& instance) {
    connect(&instance, &TSingleInstance::OpenRequested, this, [this] { RunAction(aOpen); });
    connect(&instance, &TSingleInstance::SearchRequested, this, &TMainForm::SearchFromOtherStart);
}

void TMainForm::SearchFromOtherStart() {
    WMHotKey(HotKeySearch);
}

void TMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    FitOuterSize();
    if (!event->spontaneous())
        FormShow();
}

void TMainForm::FormShow() {
    if (!Database())
        FillList();
}

void TMainForm::closeEvent(QCloseEvent* event) {
    CloseAllCards();
    hide();
    if (FDebugSwitch || FSessionEnding) {
        event->accept();
        QCoreApplication::exit(0);
    } else
        event->ignore();
}

void TMainForm::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    FitOuterSize();
    WMWindowPosChanged();
}

void TMainForm::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    FitOuterSize();
    WMWindowPosChanged();
}

// The frame is known only once the window manager has framed the window: then the client
// area is made as much smaller as the frame is, once.
void TMainForm::FitOuterSize() {
    if (!FOuterSizePending || !isVisible())
        return;
    const QSize frame = frameGeometry().size() - geometry().size();
    if (frame.isNull())
        return;
    FOuterSizePending = false;
    resize(MainWindowOuterSize - frame);
    DataGrid->scrollTo(DataGrid->currentIndex()); // the list got shorter
}

void TMainForm::WMWindowPosChanged() {
    if (TInfoForm* window = ReusableCardWindow())
        window->PlaceBesideMainWindow();
}

// --- card list and search box --------------------------------------------------------------

void TMainForm::FillList() {
    try {
        LoadDatabase();
    } catch (...) {
        // The first load keeps quiet: the list shows whatever the database holds.
    }
    DataGrid->setUpdatesEnabled(false);
    const auto endBulkUpdate = qScopeGuard([this] { DataGrid->setUpdatesEnabled(true); });
    FCards->Fill(Database());
    // The first card of the database's own order becomes current before the sort, so the
    // search box starts with its name.
    if (FCards->rowCount() > 0)
        DataGrid->setCurrentIndex(FCards->index(0));
    FCards->Sort();
    // Once the window is laid out, the current row is shown wherever the sort put it.
    QMetaObject::invokeMethod(
        DataGrid, [this] { DataGrid->scrollTo(DataGrid->currentIndex()); }, Qt::QueuedConnection);
}

bool TMainForm::Search(const QString& text) {
    const TSearchResult result = FCards->Cards().Search(QStringToAnsi(text));
    if (!result.MovesCurrent)
        return result.Found;
    if (result.Row < 0)
        DataGrid->selectionModel()->clear();
    else {
        const QModelIndex row = FCards->index(result.Row);
        DataGrid->scrollTo(row);
        DataGrid->setCurrentIndex(row);
    }
    return result.Found;
}

void TMainForm::LookUp(const QString& text) {
    TBusyScope busy(FBusy);
    SearchEdit->setFocus();
    SearchEdit->setText(text);
    SearchEdit->selectAll();
    if (Search(text))
        RunAction(aShowCard);
}

void TMainForm::ShowCard(const TDataItem* item, bool newWindow, bool activate) {
    TInfoForm* window = newWindow ? NewCardWindow(item->Id()) : GetCardWindow(item->Id());
    window->SetItem(item);
    if (newWindow || activate)
        window->ShowActive();
    else
        window->ShowInactive();
}

void TMainForm::OpenCard(const std::string& id) {
    const TDataItem* item = Database() ? Database()->FindItem(id) : nullptr;
    if (item)
        ShowCard(item, true, true);
}

void TMainForm::SearchEditChange() {
    if (FBusy)
        return;
    TBusyScope busy(FBusy);
    Search(SearchEdit->text());
}

void TMainForm::SearchEditEnter() {
    SearchEdit->deselect();
}

void TMainForm::DataGridItemSelectedChange(const QModelIndex& current) {
    if (FBusy)
        return;
    if (current.isValid()) {
        TBusyScope busy(FBusy);
        SearchEdit->setText(AnsiToQString(FCards->Cards().Row(current.row()).Text));
        SearchEdit->selectAll();
    }
    if (aAutoShow->isChecked())
        RunAction(aShowCard);
}

bool TMainForm::SearchEditKeyDown(QKeyEvent* event) {
    if (!IsSharedKey(SearchEditKeys, event))
        return false;
    PassKey(event, DataGrid->viewport(), KeyDataFromShift(event->modifiers()));
    return true;
}

bool TMainForm::DataGridKeyDown(QKeyEvent* event) {
    if (!IsSharedKey(DataGridKeys, event))
        return false;
    PassKey(event, SearchEdit, KeyDataFromShift(event->modifiers()));
    return true;
}

// The list has no type-ahead of its own: characters typed in it go to the search box.
bool TMainForm::DataGridKeyPress(QKeyEvent* event) {
    if (!IsTypedCharacter(event))
        return false;
    PassKey(event, SearchEdit, Qt::NoModifier);
    return true;
}

void TMainForm::DataGridDblClick(Qt::KeyboardModifiers modifiers) {
    RunAction(modifiers.testFlag(Qt::ControlModifier) ? aShowNewCard : aShowCard);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::ShortcutOverride: // the keys of the actions are matched next
    case QEvent::MouseButtonPress: // a toolbar button may run its action on release
        ActionListUpdate();
        break;
    case QEvent::KeyPress: {
        auto* key = static_cast<QKeyEvent*>(event);
        if (watched == SearchEdit)
            return SearchEditKeyDown(key);
        if (watched == DataGrid)
            return DataGridKeyDown(key) || DataGridKeyPress(key);
        break;
    }
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

// --- hotkeys, clipboard lookup, preferences ------------------------------------------------

namespace {

// The copy step of the search hotkey. On X11 the text selected in the program in front is the
// PRIMARY selection; without one the clipboard keeps its earlier text, as with a program that
// does not answer a copy command.
void CopySelectionToClipboard() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard->supportsSelection())
        return;
    const QString selected = clipboard->text(QClipboard::Selection);
    if (!selected.isEmpty())
        clipboard->setText(selected);
}

} // namespace

void TMainForm::ApplySettings(const TSettings& settings) {
    FSettings = settings;
    RegisterHotKey(HotKeyOpen, FSettings.OpenShortCut);
    RegisterHotKey(HotKeySearch, FSettings.SearchShortCut);
    ClipboardMonitor->SetEnabled(FSettings.UseInsInsShortCut);
}

// A text that names no key unregisters the hotkey. Whether the grab succeeds is not examined: a
// combination that another program holds stays without effect.
void TMainForm::RegisterHotKey(int id, const std::string& shortCutText) {
    const TShortCut shortCut = TextToShortCut(shortCutText);
    if (shortCut == 0) {
        FHotKeys->Unregister(id);
        return;
    }
    const TShortCutKey key = SplitShortCut(shortCut);
    FHotKeys->Register(id, HotKeyModifiers(key), key.KeyCode);
}

void TMainForm::WMHotKey(int id) {
    if (id == HotKeyOpen) {
        RunAction(aOpen);
        return;
    }
    if (id != HotKeySearch && id != HotKeyDoubleCopy)
        return;
    // In front already, the window looks up what the clipboard holds, copying nothing.
    if (QApplication::activeWindow() != this) {
        if (id == HotKeySearch)
            CopySelectionToClipboard();
        RunAction(aOpen);
    }
    LookUp(QGuiApplication::clipboard()->text());
}

void TMainForm::ClipboardMonitorChange() {
    const bool ctrlHeld = QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ControlModifier);
    // Read only when it can matter: the clipboard may hold megabytes.
    const QString text = ctrlHeld ? QGuiApplication::clipboard()->text() : QString();
    if (!FDoubleCopy.Change(ctrlHeld, text))
        return;
    if (QApplication::activeWindow())
        LookUp(text);
    else
        WMHotKey(HotKeyDoubleCopy);
}

void TMainForm::Preferences() {
    TSettings settings = FSettings;
    if (!EditPreferences(settings, this))
        return;
    ApplySettings(settings);
    SaveSettings(FSettings);
}
