#include "app/WPreferences.h"

#include "app/ShortCuts.h"
#include "common/Win1252.h"
#include "platform/KeyCodes.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>

namespace {

template <typename T>
T* Place(T* widget, const char* name, int left, int top, int width, int height) {
    widget->setObjectName(name);
    widget->setGeometry(left, top, width, height);
    return widget;
}

void AddLabel(QWidget* parent, const char* text, int left, int top) {
    auto* label = new QLabel(text, parent);
    label->adjustSize();
    label->move(left, top);
}

QPushButton* NewButton(QWidget* parent, const char* text) {
    auto* button = new QPushButton(text, parent);
    button->setAutoDefault(false); // neither button answers Enter
    return button;
}

bool IsModifierKey(int key) {
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    // Modifiers only on this platform: pressed alone they make no shortcut either.
    case Qt::Key_Meta:
    case Qt::Key_AltGr:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
        return true;
    default:
        return false;
    }
}

// Every key-down but a modifier alone, and Tab without Ctrl (which moves on), becomes the
// field's text. The event goes on to the field, which is read-only.
void CaptureShortCut(QLineEdit* edit, QKeyEvent* event) {
    const int key = event->key();
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    if (IsModifierKey(key))
        return;
    if ((key == Qt::Key_Tab || key == Qt::Key_Backtab) && !modifiers.testFlag(Qt::ControlModifier))
        return;
    const TShortCutKey shortCut{
        KeyCodeFromQtKey(key, modifiers), modifiers.testFlag(Qt::ShiftModifier),
        modifiers.testFlag(Qt::ControlModifier), modifiers.testFlag(Qt::AltModifier)};
    edit->setText(AnsiToQString(ShortCutToText(MakeShortCut(shortCut))));
}

} // namespace

TPreferencesForm::TPreferencesForm(QWidget* owner) : QDialog(owner) {
    setWindowTitle("Preferences");
    QFont font("MS Sans Serif");
    font.setPixelSize(11);
    setFont(font);
    setFixedSize(276, 168);

    AutoRunCheck =
        Place(new QCheckBox("Autorun when Windows Start", this), "AutoRunCheck", 12, 16, 173, 17);
    AddLabel(this, "Open Shortcut", 8, 48);
    OpenShortCutEdit = Place(new QLineEdit(this), "OpenShortCutEdit", 136, 44, 121, 21);
    AddLabel(this, "Search Shortcut", 8, 72);
    SearchShortCutEdit = Place(new QLineEdit(this), "SearchShortCutEdit", 136, 72, 121, 21);
    UseInsInsShortcutCheck =
        Place(new QCheckBox("Use Ctrl+Ins+Ins and Ctrl+C+C as search chortcut", this),
              "UseInsInsShortcutCheck", 8, 104, 261, 17);
    OkButton = Place(NewButton(this, "OK"), "OkButton", 100, 136, 75, 25);
    CancelButton = Place(NewButton(this, "Cancel"), "CancelButton", 188, 136, 75, 25);

    for (QLineEdit* edit : {OpenShortCutEdit, SearchShortCutEdit}) {
        edit->setReadOnly(true);
        edit->installEventFilter(this);
    }
    connect(OkButton, &QPushButton::clicked, this, [this] { done(ModalResultOk); });
    connect(CancelButton, &QPushButton::clicked, this, [this] { done(ModalResultCancel); });

    setTabOrder(UseInsInsShortcutCheck, OpenShortCutEdit);
    setTabOrder(OpenShortCutEdit, SearchShortCutEdit);
    setTabOrder(SearchShortCutEdit, OkButton);
    setTabOrder(OkButton, CancelButton);
    setTabOrder(CancelButton, AutoRunCheck);
    UseInsInsShortcutCheck->setFocus();
}

void TPreferencesForm::SetSettings(const TSettings& settings) {
    AutoRunCheck->setChecked(settings.AutoRun);
    OpenShortCutEdit->setText(AnsiToQString(settings.OpenShortCut));
    SearchShortCutEdit->setText(AnsiToQString(settings.SearchShortCut));
    UseInsInsShortcutCheck->setChecked(settings.UseInsInsShortCut);
}

void TPreferencesForm::GetSettings(TSettings& settings) const {
    settings.AutoRun = AutoRunCheck->isChecked();
    settings.OpenShortCut = QStringToAnsi(OpenShortCutEdit->text());
    settings.SearchShortCut = QStringToAnsi(SearchShortCutEdit->text());
    settings.UseInsInsShortCut = UseInsInsShortcutCheck->isChecked();
}

bool TPreferencesForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* keyEvent = static_cast<QKeyEvent*>(event);
        if (watched == OpenShortCutEdit)
            OpenShortCutEditKeyDown(keyEvent);
        else if (watched == SearchShortCutEdit)
            SearchShortCutEditKeyDown(keyEvent);
    }
    return QDialog::eventFilter(watched, event);
}

// The dialog's own Enter and Escape handling is left out: no button is bound to them.
void TPreferencesForm::keyPressEvent(QKeyEvent* event) {
    QWidget::keyPressEvent(event);
}

void TPreferencesForm::OpenShortCutEditKeyDown(QKeyEvent* event) {
    CaptureShortCut(OpenShortCutEdit, event);
}

void TPreferencesForm::SearchShortCutEditKeyDown(QKeyEvent* event) {
    CaptureShortCut(SearchShortCutEdit, event);
}

bool EditPreferences(TSettings& settings, QWidget* mainWindow) {
    // Owned by the main window, yet destroyed here in every case; the guard tolerates the owner
    // having destroyed it first.
    QPointer<TPreferencesForm> form = new TPreferencesForm(mainWindow);
    const auto destroyForm = qScopeGuard([&form] { delete form.data(); });
    form->SetSettings(settings);
    if (mainWindow) {
        QRect placed = form->geometry();
        placed.moveCenter(mainWindow->frameGeometry().center());
        form->setGeometry(placed);
    }
    if (form->exec() != TPreferencesForm::ModalResultOk || !form)
        return false;
    form->GetSettings(settings);
    return true;
}
