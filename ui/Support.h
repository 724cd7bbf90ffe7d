#pragma once

#include "ui/InfoBox.h"

class LinkLabel;

// "Support": where help is to be had, on the web and by mail.
class TSupportBox : public TInfoBox {
    Q_OBJECT
public:
    explicit TSupportBox(QWidget* parent = nullptr);

    LinkLabel* DravenoltWebSite = nullptr;
    LinkLabel* MailtoSupport = nullptr;
    void DravenoltWebSiteClick();
    void MailtoSupportClick();
};
