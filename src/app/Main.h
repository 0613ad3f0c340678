#pragma once
#include "app/CardList.h"
#include "app/ClipboardLookup.h"
#include "data/Data.h"

#include <QAbstractListModel>
#include <QMainWindow>
#include <QSystemTrayIcon>
#include <memory>
#include <string>

class QAction;
class QKeyEvent;
class QLineEdit;
class QListView;
class QMenu;
class QToolBar;
class TDatabase;
class TDataItem;
class TGlobalHotKeys;
class TSingleInstance;

// The rows of the card list as the list view sees them: one row per card, texts converted
// only when a row is drawn.
class TCardListModel : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    // Replaces every row by the cards of `database` in its enumeration order, in one reset.
    void Fill(const TDatabase* database);
    // Sorts the rows by name; the current row and every other kept index follow their card.
    void Sort();
    const TCardList& Cards() const { return FCards; }

private:
    TCardList FCards;
};

// Whether "Import Database" is offered: only on the development machine's build.
bool ImportCommandVisible(const QString& executablePath);

// The main window: the card list with its type-ahead search box, the menus and toolbars
// with the commands of one action list, and the notification-area icon.
class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainForm(bool debugSwitch = false, QWidget* parent = nullptr);
    ~TMainForm() override;

    // Loads the database and fills the list; a failed load leaves whatever it loaded.
    void FillList();
    // Moves the current row for a typed text; true when a card name begins with it.
    bool Search(const QString& text);
    // Puts `text` into the search box, searches, and shows the card it finds.
    void LookUp(const QString& text);
    void ShowCard(const TDataItem* item, bool newWindow, bool activate);
    // Shows the card `id` in a new, active card window; an unknown identifier does nothing.
    void OpenCard(const std::string& id);

    // Brings the action states up to date and runs `action` when it is enabled.
    void RunAction(QAction* action);
    // Sets the enabled and visible states of the actions.
    void ActionListUpdate();
    // Answers later starts of the program that `instance` hears from.
    void ServeOtherStarts(TSingleInstance& instance);
    // What another start of the program asks for with "-search": the search hotkey's work.
    void SearchFromOtherStart();

    // Puts settings into force: the two global hotkeys and the clipboard watcher.
    void ApplySettings(const TSettings& settings);
    const TSettings& Settings() const { return FSettings; }
    // A global hotkey was pressed (or a double copy made elsewhere is finished).
    void WMHotKey(int id);
    // The clipboard's content changed while the watcher is on: looks for a double copy.
    void ClipboardMonitorChange();
    // The user's session is ending: the close request lets the window close.
    void SessionEnding();

    // The card of the current row, or null.
    const TDataItem* CurrentItem() const;
    bool Busy() const { return FBusy; }

    QListView* DataGrid = nullptr;
    QLineEdit* SearchEdit = nullptr;
    QToolBar* AutoShowBar = nullptr;
    QToolBar* BottomBar = nullptr;
    QSystemTrayIcon* TrayIcon = nullptr;
    QMenu* PopupMenu = nullptr;
    TClipboardMonitor* ClipboardMonitor = nullptr;

    QList<QAction*> ActionList;
    QAction* aFile = nullptr;
    QAction* aEdit = nullptr;
    QAction* aView = nullptr;
    QAction* aService = nullptr;
    QAction* aHelp = nullptr;
    QAction* aClose = nullptr;
    QAction* aShowCard = nullptr;
    QAction* aShowNewCard = nullptr;
    QAction* aImport = nullptr;
    QAction* aPreferences = nullptr;
    QAction* aAbout = nullptr;
    QAction* aAutoShow = nullptr;
    QAction* aCloseAllCards = nullptr;
    QAction* aOpen = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QAction* NewAction(const QString& caption);
    void CreateActions();
    void CreateMenus();
    void CreateToolBars();
    void CreateCardList();
    void CreateTrayIcon();

    void ActionListExecute(QAction* action);
    void Open();
    void Exit();
    void CloseAllCards();
    void FormShow();
    void FitOuterSize();
    void TrayIconActivated(QSystemTrayIcon::ActivationReason reason);
    void Preferences();
    void RegisterHotKey(int id, const std::string& shortCutText);

    void SearchEditChange();
    void SearchEditEnter();
    bool SearchEditKeyDown(QKeyEvent* event);
    void DataGridItemSelectedChange(const QModelIndex& current);
    bool DataGridKeyDown(QKeyEvent* event);
    bool DataGridKeyPress(QKeyEvent* event);
    void DataGridDblClick(Qt::KeyboardModifiers modifiers);
    void WMWindowPosChanged();

    TSettings FSettings;
    std::unique_ptr<TGlobalHotKeys> FHotKeys;
    // The last qualifying copy, to tell a double copy.
    TDoubleCopy FDoubleCopy;
    TCardListModel* FCards = nullptr;
    bool FDebugSwitch = false;
    bool FSessionEnding = false;
    bool FOuterSizePending = true;
    // True while the list and the search box are changed by this window itself, so their
    // change handlers do not answer their own changes.
    bool FBusy = false;
};

// The modifiers that a key passed to the other control carries along: Shift, Ctrl and Alt.
Qt::KeyboardModifiers KeyDataFromShift(Qt::KeyboardModifiers shift);
