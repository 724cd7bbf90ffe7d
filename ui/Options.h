#pragma once

#include <QDialog>

#include <functional>

class Clock;
class DBCheckBox;
class DBEdit;
class DBNavigator;
class DBSpinEdit;
class DBTimeEdit;
class DataGrid;
class DataSource;
class IntervalTimer;
class QPushButton;
class QTabWidget;
class dvDirectories;

// What the Options dialog acts on besides the database: the engine's alert switches, the two
// scheduled-run timers and the navigation tree's root.
struct OptionsHooks {
    std::function<dvDirectories*()> engine; // null while the engine could not start
    IntervalTimer* TimerCheck = nullptr;
    IntervalTimer* TimerLoadSpace = nullptr;
    std::function<void(const QString&)> setCompanyName;
    const Clock* clock = nullptr;
    std::function<void()> showHelp; // the guide's part about this dialog
};

// The Options dialog: the single Options row and the alert recipients, edited in place
// through data-aware controls. Created once at start, hidden, and shown modally as often as
// the user asks. The row is in edit mode from creation and again whenever the dialog is
// activated; OK stores it, Cancel (or Escape) discards and rereads it, and the close box
// leaves the changes pending. The recipients and the share logons are stored row by row as
// the user posts them, whatever OK or Cancel does. The four switches act at once: the alert
// switches on the engine, the timer switches on the scheduled runs.
class TOptionsForm : public QDialog {
    Q_OBJECT
public:
    TOptionsForm(DataSource* SrcOptions, DataSource* SrcAlerts, DataSource* SrcCredentials,
                 OptionsHooks hooks, QWidget* parent = nullptr);

    QTabWidget* PageControl = nullptr;
    DBEdit* DBOptCompanyName = nullptr;
    DBCheckBox* chkPopupAlerts = nullptr;
    DBCheckBox* chkEMailAlerts = nullptr;
    DBCheckBox* DBCheckSpace = nullptr;
    DBSpinEdit* DBOptInterval = nullptr;
    DBCheckBox* DBLoadSpace = nullptr;
    DBTimeEdit* DBTimeToLoadSpace = nullptr;
    DBEdit* DBOptHost = nullptr;
    DBCheckBox* DBOptAuth = nullptr;
    DBEdit* DBOptUsername = nullptr;
    DBEdit* DBOptPassword = nullptr;
    DBEdit* DBOptFrom = nullptr;
    DBEdit* DBOptSubject = nullptr;
    DataGrid* GridAlerts = nullptr;
    DBNavigator* navAlerts = nullptr;
    DataGrid* GridCredentials = nullptr;
    DBNavigator* navCredentials = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;
    QPushButton* HelpBtn = nullptr;

    void OKBtnClick();
    void CancelBtnClick();

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void reject() override;

private:
    QWidget* buildGeneralTab();
    QWidget* buildEMailTab();
    QWidget* buildAlertListTab();
    QWidget* buildCredentialsTab();
    void bindSwitches();
    void FormCreate();
    void FormActivate();
    void DBOptAuthClick(Qt::CheckState state);
    void chkPopupAlertsClick(Qt::CheckState state);
    void chkEMailAlertsClick(Qt::CheckState state);
    void DBCheckSpaceClick(Qt::CheckState state);
    void DBLoadSpaceClick(Qt::CheckState state);
    void enterEditMode();

    DataSource* m_options;
    DataSource* m_alerts;
    DataSource* m_credentials;
    OptionsHooks m_hooks;
    bool m_placed = false;
};
