#include "ui/Order.h"

#include "toolkit/LinkLabel.h"
#include "ui/MakerLinks.h"

#include <QBoxLayout>
#include <QLabel>

using namespace Qt::Literals::StringLiterals;

TOrderBox::TOrderBox(QWidget* parent)
    : TInfoBox(u"OrderBox"_s, u"Order"_s, QSize(409, 168), parent)
{
    QLabel* text =
        addText(u"OrderText"_s, u"Vardometer can be priced and ordered online from  :"_s, 10);
    text->setWordWrap(true);
    DravenoltWebSite = new LinkLabel(u"DravenoltWebSite"_s, MakerLinks::webAddress(), textArea());
    auto* texts = static_cast<QBoxLayout*>(textArea()->layout());
    texts->addWidget(DravenoltWebSite);
    texts->addStretch(1);
    connect(DravenoltWebSite, &LinkLabel::clicked, this, &TOrderBox::DravenoltWebSiteClick);
}

void TOrderBox::DravenoltWebSiteClick()
{
    openLink(MakerLinks::webUrl());
}
