#pragma once

#include "ui/InfoBox.h"

class LinkLabel;

// "About Vardometer": the product, its version and the maker's web page.
class TAboutBox : public TInfoBox {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);

    LinkLabel* DravenoltWebSite = nullptr;
    void DravenoltWebSiteClick();
};
