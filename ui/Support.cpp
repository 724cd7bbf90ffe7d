#include "ui/Support.h"

#include "toolkit/LinkLabel.h"
#include "ui/MakerLinks.h"

#include <QHBoxLayout>
#include <QLabel>

using namespace Qt::Literals::StringLiterals;

namespace {

// A line of text with a link right after it.
QWidget* lineWithLink(QLabel* text, LinkLabel* link, QWidget* parent)
{
    auto* line = new QWidget(parent);
    auto* layout = new QHBoxLayout(line);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    text->setParent(line);
    link->setParent(line);
    // The link's font is not the text's: both stand on one baseline.
    layout->addWidget(text, 0, Qt::AlignBaseline);
    layout->addWidget(link, 0, Qt::AlignBaseline);
    layout->addStretch(1);
    return line;
}

} // namespace

TSupportBox::TSupportBox(QWidget* parent)
    : TInfoBox(u"SupportBox"_s, u"Support"_s, QSize(414, 216), parent)
{
    addText(u"Heading"_s, u"Support is available from :"_s, 10);
    QLabel* faq = addText(u"OnlineFAQs"_s, u"1. Online FAQ's at :"_s);
    QLabel* mail = addText(u"EmailSupport"_s, u"2. Email Support from : "_s);
    DravenoltWebSite = new LinkLabel(u"DravenoltWebSite"_s, MakerLinks::webAddress(), textArea());
    MailtoSupport = new LinkLabel(u"MailtoSupport"_s, MakerLinks::supportMail(), textArea());
    auto* texts = static_cast<QBoxLayout*>(textArea()->layout());
    texts->addWidget(lineWithLink(faq, DravenoltWebSite, textArea()));
    texts->addWidget(lineWithLink(mail, MailtoSupport, textArea()));
    texts->addStretch(1);
    connect(DravenoltWebSite, &LinkLabel::clicked, this, &TSupportBox::DravenoltWebSiteClick);
    connect(MailtoSupport, &LinkLabel::clicked, this, &TSupportBox::MailtoSupportClick);
}

void TSupportBox::DravenoltWebSiteClick()
{
    openLink(MakerLinks::webUrl());
}

void TSupportBox::MailtoSupportClick()
{
    openLink(MakerLinks::supportMailUrl());
}
