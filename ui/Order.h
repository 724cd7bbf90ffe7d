#pragma once

#include "ui/InfoBox.h"

class LinkLabel;

// "Order": where the program is priced and ordered.
class TOrderBox : public TInfoBox {
    Q_OBJECT
public:
    explicit TOrderBox(QWidget* parent = nullptr);

    LinkLabel* DravenoltWebSite = nullptr;
    void DravenoltWebSiteClick();
};
