#pragma once
#include "data/Data.h"

#include <QDialog>

class QCheckBox;
class QKeyEvent;
class QLineEdit;
class QPushButton;

// The preferences dialog: starting at login, the two hotkeys (captured by pressing them in their
// fields) and the double copy.
class TPreferencesForm : public QDialog {
    Q_OBJECT
public:
    static constexpr int ModalResultOk = 1;
    static constexpr int ModalResultCancel = 2;

    explicit TPreferencesForm(QWidget* owner);

    void SetSettings(const TSettings& settings);
    void GetSettings(TSettings& settings) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void OpenShortCutEditKeyDown(QKeyEvent* event);
    void SearchShortCutEditKeyDown(QKeyEvent* event);

    QCheckBox* AutoRunCheck;
    QLineEdit* OpenShortCutEdit;
    QLineEdit* SearchShortCutEdit;
    QCheckBox* UseInsInsShortcutCheck;
    QPushButton* OkButton;
    QPushButton* CancelButton;
};

// Runs the dialog for `settings` over `mainWindow`; true when the user confirmed, and then
// `settings` holds what the dialog shows. Otherwise `settings` stays as it was.
bool EditPreferences(TSettings& settings, QWidget* mainWindow);
