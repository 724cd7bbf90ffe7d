#include "ui/About.h"

#include "toolkit/LinkLabel.h"
#include "ui/MakerLinks.h"

#include <QLayout>
#include <QPushButton>
#include <QStyle>

using namespace Qt::Literals::StringLiterals;

TAboutBox::TAboutBox(QWidget* parent)
    : TInfoBox(u"AboutBox"_s, u"About Vardometer"_s, QSize(319, 201), parent)
{
    addText(u"ProductName"_s, u"Vardometer"_s, 0, true);
    addText(u"Version"_s, u"Version 1.8.1.1"_s, 0, true);
    DravenoltWebSite = new LinkLabel(u"DravenoltWebSite"_s, MakerLinks::webAddress(), textArea());
    textArea()->layout()->addWidget(DravenoltWebSite);
    static_cast<QBoxLayout*>(textArea()->layout())->addStretch(1);
    connect(DravenoltWebSite, &LinkLabel::clicked, this, &TAboutBox::DravenoltWebSiteClick);

    OKBtn->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    QFont bold = OKBtn->font();
    bold.setBold(true);
    OKBtn->setFont(bold);
}

void TAboutBox::DravenoltWebSiteClick()
{
    openLink(MakerLinks::webUrl());
}
