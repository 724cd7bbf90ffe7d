#include "ui/HelpWindow.h"

#include "ui/Pictures.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QPointer>
#include <QScreen>
#include <QStyle>
#include <QTextBrowser>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString GuidePage = u"qrc:/help/guide.html"_s;
const QString LicencePage = u"qrc:/help/licence.html"_s;

// The licence page is the LICENSE file itself, shown as the plain text it is.
class HelpBrowser : public QTextBrowser {
public:
    using QTextBrowser::QTextBrowser;

    QVariant loadResource(int type, const QUrl& name) override
    {
        if (type == QTextDocument::HtmlResource &&
            name.toString(QUrl::RemoveFragment) == LicencePage) {
            QFile licence(u":/help/LICENSE"_s);
            if (licence.open(QIODevice::ReadOnly))
                return u"<html><head><title>Licence Agreement</title></head><body>"
                       u"<pre style=\"font-size: 9pt\">%1</pre></body></html>"_s.arg(
                           QString::fromUtf8(licence.readAll()).toHtmlEscaped());
        }
        return QTextBrowser::loadResource(type, name);
    }
};

// A window that is the child of a modal dialog stays usable while the dialog runs; any
// other window is blocked by it. So the help belongs to the dialog that asks for it, and
// otherwise to the main window.
QWidget* ownerForHelp()
{
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == u"MainForm" && !w->isHidden())
            return w;
    return nullptr;
}

QPointer<THelpWindow>& helpWindow()
{
    static QPointer<THelpWindow> window;
    return window;
}

} // namespace

THelpWindow::THelpWindow(QWidget* parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(u"HelpWindow"_s);
    setWindowTitle(u"Vardometer Help"_s);
    setWindowIcon(Pictures::icon(Pictures::CheckSpace));
    resize(760, 600);

    m_browser = new HelpBrowser(this);
    m_browser->setObjectName(u"HelpBrowser"_s);
    m_browser->document()->setDocumentMargin(10);
    m_browser->setOpenLinks(false);
    // Pages of the help open here; anything else (a web page, a mail address) goes to the
    // desktop.
    connect(m_browser, &QTextBrowser::anchorClicked, this, [this](const QUrl& link) {
        const QUrl url = m_browser->source().resolved(link);
        if (url.scheme() == u"qrc")
            m_browser->setSource(url);
        else
            QDesktopServices::openUrl(url);
    });

    auto* bar = new QToolBar(this);
    bar->setObjectName(u"HelpToolBar"_s);
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    QAction* back = bar->addAction(style()->standardIcon(QStyle::SP_ArrowBack), u"Back"_s,
                                   m_browser, &QTextBrowser::backward);
    back->setObjectName(u"HelpBack"_s);
    QAction* forward = bar->addAction(style()->standardIcon(QStyle::SP_ArrowForward), u"Forward"_s,
                                      m_browser, &QTextBrowser::forward);
    forward->setObjectName(u"HelpForward"_s);
    back->setEnabled(false);
    forward->setEnabled(false);
    connect(m_browser, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);
    bar->addSeparator();
    bar->addAction(style()->standardIcon(QStyle::SP_DirHomeIcon), u"Contents"_s, this,
                   [this] { showTopic(Help::Guide, {}); })
        ->setObjectName(u"HelpContents"_s);
    bar->addAction(style()->standardIcon(QStyle::SP_FileIcon), u"Licence"_s, this,
                   [this] { showTopic(Help::Licence, {}); })
        ->setObjectName(u"HelpLicence"_s);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(m_browser, 1);
}

QUrl THelpWindow::topicUrl(int contextNumber, const QString& section)
{
    // An unknown topic opens the guide's contents rather than an empty window.
    QUrl url(contextNumber == Help::Licence ? LicencePage : GuidePage);
    if (contextNumber != Help::Licence && !section.isEmpty())
        url.setFragment(section);
    return url;
}

void THelpWindow::showTopic(int contextNumber, const QString& section)
{
    const QUrl url = topicUrl(contextNumber, section);
    if (m_browser->source() == url) {
        // Asked again for the page shown: back to the section's start, or the page's top.
        if (url.hasFragment())
            m_browser->scrollToAnchor(url.fragment());
        else
            m_browser->moveCursor(QTextCursor::Start);
        return;
    }
    m_browser->setSource(url);
}

namespace Help {

void showTopic(int contextNumber, const QString& section)
{
    QPointer<THelpWindow>& window = helpWindow();
    QWidget* owner = ownerForHelp();
    if (!window) {
        window = new THelpWindow(owner);
        if (!owner)
            window->setAttribute(Qt::WA_DeleteOnClose);
        // First shown over the window that asked; later it stays where the user put it.
        const QRect area =
            owner ? owner->window()->frameGeometry() : window->screen()->availableGeometry();
        window->move(area.center() - window->rect().center());
    } else if (owner && window->parentWidget() != owner) {
        const QRect geometry = window->geometry();
        window->setParent(owner, Qt::Window);
        window->setGeometry(geometry);
    }
    window->showTopic(contextNumber, section);
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace Help
