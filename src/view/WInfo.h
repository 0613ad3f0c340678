#pragma once
#include "common/HashList.h"
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

class QTextBrowser;
class QToolBar;
class QLabel;
class QUrl;
class TDataItem;

class TPageImporter;

// A card window: one card's page in a read-only rich-text view. Card windows are top-level
// windows freed when closed; each is registered under its card identifier (`Key`) in
// `CardWindows()` from construction to destruction. Positions are outer frame positions
// (so the docked window's frame touches the main window's frame); widths and heights are
// those of the windows' client areas.
class TInfoForm : public QWidget {
    Q_OBJECT

public:
    explicit TInfoForm(const std::string& id);
    ~TInfoForm() override;

    // Shows `item` (null empties the page and the caption).
    void SetItem(const TDataItem* item);
    void ComposePage();
    void Rekey(const std::string& id);
    void ShowActive();
    // Shows the window in front without taking the activation from the main window.
    void ShowInactive();
    void PlaceBesideMainWindow();

    const TDataItem* Item() const { return FItem; }
    const std::string& Key() const { return FKey; }
    QTextBrowser* RichView() const { return FRichView; }

protected:
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void RichViewJump(const QUrl& link);
    void DockingTest();

    QToolBar* FToolbar = nullptr;
    QLabel* FCardImage = nullptr;
    QTextBrowser* FRichView = nullptr;
    const TDataItem* FItem = nullptr;
    std::unique_ptr<TPageImporter> FImporter;
    std::string FKey;
};

// The main window's side of the card windows: the window whose frame they dock to and
// cascade from, and its `OpenCard`, which a link click calls with the link's target. The
// main window calls this once when it is created.
void SetMainWindow(QWidget* window, std::function<void(const std::string& id)> openCard);

// The registry of open card windows: case-insensitive keys, not owning.
TStringHashList<TInfoForm>& CardWindows();
TInfoForm* ReusableCardWindow();
// The width given to every new card window; 0 until the first one is made.
int CardWindowWidth();

TInfoForm* GetCardWindow(const std::string& id);
TInfoForm* NewCardWindow(const std::string& id);
QPoint FindCascadePosition();
// Destroys the window at position 0 of the registry until the registry is empty.
void CloseAllCardWindows();
// Closes every card window and forgets the width, as at start. Tests only.
void ResetCardWindowsForTesting();

// The composed page text of a card (empty for null): every section of its records joined
// by rules, with the cost symbols turned into picture tags.
std::string ComposePageText(const TDataItem* item);
// The page as plain text: each section, with a line of dashes for the rule between them.
std::string PagePlainText(const TDataItem* item);
