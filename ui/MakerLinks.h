#pragma once

#include <QString>
#include <QUrl>

// The maker's web page and support mail address, as the build sets them.
namespace MakerLinks {

QString webAddress(); // shown as it is set: "https://www.vardometer.org/"
QUrl webUrl();
QString supportMail(); // "support@vardometer.org"
QUrl supportMailUrl(); // "mailto:support@vardometer.org"

} // namespace MakerLinks
