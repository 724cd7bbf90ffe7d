#include "ui/Options.h"

#include "data/DataSet.h"
#include "data/DataSource.h"
#include "engine/Clock.h"
#include "engine/Directories.h"
#include "engine/Schedule.h"
#include "toolkit/DBCheckBox.h"
#include "toolkit/DBEdit.h"
#include "toolkit/DBNavigator.h"
#include "toolkit/DBSpinEdit.h"
#include "toolkit/DBTimeEdit.h"
#include "toolkit/DataGrid.h"
#include "toolkit/ErrorReport.h"
#include "toolkit/IntervalTimer.h"
#include "ui/Pictures.h"

#include <QCloseEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QVBoxLayout>

using namespace Qt::Literals::StringLiterals;

namespace {

// A sunken panel holding a label and the box it names, under the switch that governs it.
QFrame* sunkenPanel(const QString& label, QWidget* box, QWidget* parent)
{
    auto* panel = new QFrame(parent);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto* layout = new QHBoxLayout(panel);
    layout->setContentsMargins(12, 6, 12, 6);
    auto* caption = new QLabel(label, panel);
    caption->setBuddy(box);
    layout->addWidget(caption);
    layout->addWidget(box);
    layout->addStretch(1);
    return panel;
}

QLabel* labelFor(const QString& text, QWidget* box, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setBuddy(box);
    return label;
}

} // namespace

TOptionsForm::TOptionsForm(DataSource* SrcOptions, DataSource* SrcAlerts,
                           DataSource* SrcCredentials, OptionsHooks hooks, QWidget* parent)
    : QDialog(parent)
    , m_options(SrcOptions)
    , m_alerts(SrcAlerts)
    , m_credentials(SrcCredentials)
    , m_hooks(std::move(hooks))
{
    setObjectName(u"OptionsForm"_s);
    setWindowTitle(u" Options"_s);
    if (parent)
        setFont(parent->font());
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(684, 417);

    // The boxes whose values the switches read are bound first, so a switch that acts on
    // the stored row finds them filled.
    DBOptCompanyName = new DBEdit(SrcOptions, u"CompanyName"_s, this);
    DBOptCompanyName->setObjectName(u"DBOptCompanyName"_s);
    DBOptInterval = new DBSpinEdit(SrcOptions, u"TimeIntervalForCheck"_s, 1, 99999, this);
    DBOptInterval->setObjectName(u"DBOptInterval"_s);
    DBTimeToLoadSpace = new DBTimeEdit(SrcOptions, u"TimeToLoadFreeSpace"_s, this);
    DBTimeToLoadSpace->setObjectName(u"DBTimeToLoadSpace"_s);
    DBOptHost = new DBEdit(SrcOptions, u"EMailHost"_s, this);
    DBOptHost->setObjectName(u"DBOptHost"_s);
    DBOptUsername = new DBEdit(SrcOptions, u"EMailUsername"_s, this);
    DBOptUsername->setObjectName(u"DBOptUsername"_s);
    DBOptPassword = new DBEdit(SrcOptions, u"EMailPassword"_s, this);
    DBOptPassword->setObjectName(u"DBOptPassword"_s);
    DBOptPassword->setPasswordMode(true);
    DBOptFrom = new DBEdit(SrcOptions, u"EMailFrom"_s, this);
    DBOptFrom->setObjectName(u"DBOptFrom"_s);
    DBOptSubject = new DBEdit(SrcOptions, u"EMailSubject"_s, this);
    DBOptSubject->setObjectName(u"DBOptSubject"_s);

    chkPopupAlerts = new DBCheckBox(u"Popup box for Alerts"_s, SrcOptions, u"PopupAlerts"_s, this);
    chkPopupAlerts->setObjectName(u"chkPopupAlerts"_s);
    chkEMailAlerts = new DBCheckBox(u"EMail Alerts"_s, SrcOptions, u"EMailAlerts"_s, this);
    chkEMailAlerts->setObjectName(u"chkEMailAlerts"_s);
    DBCheckSpace =
        new DBCheckBox(u"Timer To Check Free Space"_s, SrcOptions, u"TimerForCheckEnabled"_s, this);
    DBCheckSpace->setObjectName(u"DBCheckSpace"_s);
    DBLoadSpace = new DBCheckBox(u"Timer To Load Free Space Details into History"_s, SrcOptions,
                                 u"TimerToLoadEnabled"_s, this);
    DBLoadSpace->setObjectName(u"DBLoadSpace"_s);
    DBOptAuth = new DBCheckBox(u"Authentication Required"_s, SrcOptions, u"EMailAuth"_s, this);
    DBOptAuth->setObjectName(u"DBOptAuth"_s);

    PageControl = new QTabWidget(this);
    PageControl->setObjectName(u"PageControl"_s);
    PageControl->addTab(buildGeneralTab(), Pictures::icon(Pictures::General), u"General"_s);
    PageControl->addTab(buildEMailTab(), Pictures::icon(Pictures::EMail), u"EMail Settings"_s);
    PageControl->addTab(buildAlertListTab(), Pictures::icon(Pictures::Recipients),
                        u"Alert Lists"_s);
    PageControl->addTab(buildCredentialsTab(), Pictures::icon(Pictures::Credentials),
                        u"Credentials"_s);

    auto* buttons = new QWidget(this);
    buttons->setObjectName(u"PanelButtons"_s);
    buttons->setFixedHeight(34);
    auto* buttonLayout = new QHBoxLayout(buttons);
    buttonLayout->setContentsMargins(8, 4, 8, 4);
    OKBtn = new QPushButton(u"OK"_s, buttons);
    OKBtn->setObjectName(u"OKBtn"_s);
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(u"Cancel"_s, buttons);
    CancelBtn->setObjectName(u"CancelBtn"_s);
    HelpBtn = new QPushButton(u"&Help"_s, buttons);
    HelpBtn->setObjectName(u"HelpBtn"_s);
    buttonLayout->addStretch(1);
    for (QPushButton* b : {OKBtn, CancelBtn, HelpBtn}) {
        b->setFixedSize(75, 25);
        buttonLayout->addWidget(b);
    }
    connect(OKBtn, &QPushButton::clicked, this, &TOptionsForm::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &TOptionsForm::CancelBtnClick);
    connect(HelpBtn, &QPushButton::clicked, this, [this] {
        if (m_hooks.showHelp)
            ErrorReport::guarded(m_hooks.showHelp);
    });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(PageControl, 1);
    layout->addWidget(buttons);

    FormCreate();
    bindSwitches();
}

QWidget* TOptionsForm::buildGeneralTab()
{
    auto* tab = new QWidget(this);
    tab->setObjectName(u"TabGeneral"_s);
    auto* layout = new QVBoxLayout(tab);
    layout->setContentsMargins(16, 12, 16, 12);

    auto* company = new QFormLayout();
    company->addRow(labelFor(u"Company Name"_s, DBOptCompanyName, tab), DBOptCompanyName);
    layout->addLayout(company);

    auto* gBoxAlerts = new QGroupBox(u" Alerts "_s, tab);
    gBoxAlerts->setObjectName(u"gBoxAlerts"_s);
    auto* alerts = new QVBoxLayout(gBoxAlerts);
    alerts->addWidget(chkPopupAlerts);
    alerts->addWidget(chkEMailAlerts);
    layout->addWidget(gBoxAlerts);

    layout->addWidget(DBCheckSpace);
    DBOptInterval->setFixedWidth(90);
    QFrame* intervalPanel =
        sunkenPanel(u"Interval to Check Free Space (Mins)"_s, DBOptInterval, tab);
    intervalPanel->setObjectName(u"PanelInterval"_s);
    layout->addWidget(intervalPanel);

    layout->addWidget(DBLoadSpace);
    DBTimeToLoadSpace->setFixedWidth(90);
    QFrame* timePanel = sunkenPanel(u"Time To Load Free Space Details"_s, DBTimeToLoadSpace, tab);
    timePanel->setObjectName(u"PanelTimeToLoad"_s);
    layout->addWidget(timePanel);
    layout->addStretch(1);
    return tab;
}

QWidget* TOptionsForm::buildEMailTab()
{
    auto* tab = new QWidget(this);
    tab->setObjectName(u"TabEMailSettings"_s);
    auto* layout = new QVBoxLayout(tab);
    layout->setContentsMargins(16, 12, 16, 12);
    auto* box = new QGroupBox(u"SMTP EMail Settings"_s, tab);
    box->setObjectName(u"BoxEmailToUsers"_s);
    auto* inBox = new QVBoxLayout(box);

    auto* host = new QFormLayout();
    host->addRow(labelFor(u"Host (STMP Server)"_s, DBOptHost, box), DBOptHost);
    inBox->addLayout(host);
    inBox->addWidget(DBOptAuth);

    auto* panel = new QFrame(box);
    panel->setObjectName(u"PanelAuthentication"_s);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto* login = new QFormLayout(panel);
    login->setContentsMargins(12, 6, 12, 6);
    login->addRow(labelFor(u"User Name"_s, DBOptUsername, panel), DBOptUsername);
    login->addRow(labelFor(u"Password"_s, DBOptPassword, panel), DBOptPassword);
    inBox->addWidget(panel);

    auto* message = new QFormLayout();
    message->addRow(labelFor(u"EMail From"_s, DBOptFrom, box), DBOptFrom);
    message->addRow(labelFor(u"Subject"_s, DBOptSubject, box), DBOptSubject);
    inBox->addLayout(message);
    inBox->addStretch(1);
    layout->addWidget(box);
    return tab;
}

QWidget* TOptionsForm::buildAlertListTab()
{
    auto* tab = new QWidget(this);
    tab->setObjectName(u"TabAlertList"_s);
    GridAlerts = new DataGrid(m_alerts, {{u"EMailAddress"_s, 80, u"EMailAddress"_s, {}}}, tab);
    GridAlerts->setObjectName(u"GridAlerts"_s);
    GridAlerts->setReadOnly(false);
    GridAlerts->setColumnWidth(0, 474);
    DBNavigator::Buttons buttons;
    buttons.fill(true);
    navAlerts = new DBNavigator(m_alerts, buttons, tab);
    navAlerts->setObjectName(u"navAlerts"_s);
    navAlerts->setFixedHeight(25);
    auto* layout = new QVBoxLayout(tab);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(GridAlerts, 1);
    layout->addWidget(navAlerts);
    return tab;
}

QWidget* TOptionsForm::buildCredentialsTab()
{
    auto* tab = new QWidget(this);
    tab->setObjectName(u"TabCredentials"_s);
    GridColumn password{u"Password"_s, 16, u"Password"_s, {}};
    password.masked = true;
    GridCredentials = new DataGrid(m_credentials,
                                   {{u"Server"_s, 24, u"Server"_s, {}},
                                    {u"Domain"_s, 12, u"Domain"_s, {}},
                                    {u"Username"_s, 16, u"User Name"_s, {}},
                                    password},
                                   tab);
    GridCredentials->setObjectName(u"GridCredentials"_s);
    GridCredentials->setReadOnly(false);
    GridCredentials->horizontalHeader()->setStretchLastSection(true);
    DBNavigator::Buttons buttons;
    buttons.fill(true);
    navCredentials = new DBNavigator(m_credentials, buttons, tab);
    navCredentials->setObjectName(u"navCredentials"_s);
    navCredentials->setFixedHeight(25);
    auto* note = new QLabel(u"The user name and password with which Vardometer logs on to each "
                            u"SMB server (by its name or address, without a port). A server "
                            u"not listed here is tried as a guest."_s,
                            tab);
    note->setWordWrap(true);
    note->setContentsMargins(6, 4, 6, 4);
    auto* layout = new QVBoxLayout(tab);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(note);
    layout->addWidget(GridCredentials, 1);
    layout->addWidget(navCredentials);
    return tab;
}

void TOptionsForm::bindSwitches()
{
    // Each switch acts on the value it shows from now on, the stored one included.
    DBOptAuth->setAction([this](Qt::CheckState s) { DBOptAuthClick(s); });
    chkPopupAlerts->setAction([this](Qt::CheckState s) { chkPopupAlertsClick(s); });
    chkEMailAlerts->setAction([this](Qt::CheckState s) { chkEMailAlertsClick(s); });
    DBCheckSpace->setAction([this](Qt::CheckState s) { DBCheckSpaceClick(s); });
    DBLoadSpace->setAction([this](Qt::CheckState s) { DBLoadSpaceClick(s); });
}

void TOptionsForm::enterEditMode()
{
    DataSet* ds = m_options ? m_options->dataSet() : nullptr;
    // On an empty table this starts the row that OK then stores as the Options row.
    if (ds && ds->isActive())
        ds->edit();
}

void TOptionsForm::FormCreate()
{
    PageControl->setCurrentIndex(0);
    ErrorReport::guarded([this] { enterEditMode(); });
}

void TOptionsForm::FormActivate()
{
    ErrorReport::guarded([this] { enterEditMode(); });
}

bool TOptionsForm::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate)
        FormActivate();
    return QDialog::event(event);
}

void TOptionsForm::showEvent(QShowEvent* event)
{
    // "General" in front on every showing; centred the first time, later where it was left.
    PageControl->setCurrentIndex(0);
    if (!m_placed) {
        m_placed = true;
        if (QScreen* s = screen())
            move(s->availableGeometry().center() - rect().center());
    }
    FormActivate();
    QDialog::showEvent(event);
}

void TOptionsForm::OKBtnClick()
{
    // The dialog closes even when the row cannot be stored: the error is reported, the row
    // stays in edit mode with what was typed, and the tree keeps its old name.
    ErrorReport::guarded([this] {
        if (DataSet* ds = m_options ? m_options->dataSet() : nullptr; ds && ds->isActive())
            ds->post();
        if (m_hooks.setCompanyName)
            m_hooks.setCompanyName(DBOptCompanyName->text());
    });
    accept();
}

void TOptionsForm::CancelBtnClick()
{
    // The stored values come back, and the switches follow them again.
    ErrorReport::guarded([this] {
        if (DataSet* ds = m_options ? m_options->dataSet() : nullptr; ds && ds->isActive()) {
            ds->cancel();
            ds->refresh();
        }
    });
    done(QDialog::Rejected);
}

void TOptionsForm::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        CancelBtn->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TOptionsForm::closeEvent(QCloseEvent* event)
{
    // The close box is neither OK nor Cancel: the changes stay pending in the row.
    done(QDialog::Rejected);
    event->accept();
}

void TOptionsForm::reject()
{
    done(QDialog::Rejected);
}

void TOptionsForm::DBOptAuthClick(Qt::CheckState state)
{
    if (state == Qt::PartiallyChecked)
        return;
    DBOptUsername->setEnabled(state == Qt::Checked);
    DBOptPassword->setEnabled(state == Qt::Checked);
}

void TOptionsForm::chkPopupAlertsClick(Qt::CheckState state)
{
    if (dvDirectories* engine = m_hooks.engine ? m_hooks.engine() : nullptr)
        engine->SetPopupAlerts(state == Qt::Checked);
}

void TOptionsForm::chkEMailAlertsClick(Qt::CheckState state)
{
    if (dvDirectories* engine = m_hooks.engine ? m_hooks.engine() : nullptr)
        engine->SetEMailAlerts(state == Qt::Checked);
}

void TOptionsForm::DBCheckSpaceClick(Qt::CheckState state)
{
    if (state == Qt::Checked) {
        // Both conversions fail before anything changes.
        const int minutes = Schedule::minutesFromText(DBOptInterval->cleanText());
        const int interval = Schedule::checkIntervalMs(minutes);
        DBOptInterval->setEnabled(false);
        m_hooks.TimerCheck->setInterval(interval);
        m_hooks.TimerCheck->setEnabled(true);
    } else if (state == Qt::Unchecked) {
        DBOptInterval->setEnabled(true);
        m_hooks.TimerCheck->setEnabled(false);
    }
}

void TOptionsForm::DBLoadSpaceClick(Qt::CheckState state)
{
    if (state == Qt::Checked) {
        DBTimeToLoadSpace->setEnabled(false);
        const QTime now = m_hooks.clock ? m_hooks.clock->now().time() : QTime::currentTime();
        m_hooks.TimerLoadSpace->setInterval(
            Schedule::firstDelayMs(DBTimeToLoadSpace->shownValue(), now));
        m_hooks.TimerLoadSpace->setEnabled(true);
    } else if (state == Qt::Unchecked) {
        DBTimeToLoadSpace->setEnabled(true);
        m_hooks.TimerLoadSpace->setEnabled(false);
    }
}
