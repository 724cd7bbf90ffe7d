// The Help menu of the main window: the two help topics and the three information dialogs.

#include "ui/MainForm.h"

#include "toolkit/ErrorReport.h"
#include "ui/About.h"
#include "ui/HelpWindow.h"
#include "ui/Order.h"
#include "ui/Support.h"

void TMainForm::createInformationDialogs()
{
    // Created once, hidden, and shown again each time; each takes the window's look.
    AboutBox = new TAboutBox(this);
    SupportBox = new TSupportBox(this);
    OrderBox = new TOrderBox(this);
    for (QDialog* box : {static_cast<QDialog*>(AboutBox), static_cast<QDialog*>(SupportBox),
                         static_cast<QDialog*>(OrderBox)})
        box->setWindowIcon(windowIcon());
}

void TMainForm::MnuMainHelpVardometerHelpClick()
{
    ErrorReport::guarded([] { Help::showTopic(Help::Guide); });
}

void TMainForm::MnuMainHelpLicenceClick()
{
    ErrorReport::guarded([] { Help::showTopic(Help::Licence); });
}

void TMainForm::MnuMainHelpSupportClick()
{
    SupportBox->exec();
}

void TMainForm::MnuMainHelpOrderClick()
{
    OrderBox->exec();
}

void TMainForm::MnuMainHelpAboutClick()
{
    AboutBox->exec();
}
