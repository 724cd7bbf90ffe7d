#include "support/MainWindowFixture.h"
#include "support/UrlRecorder.h"
#include "support/WhileModal.h"
#include "support/WindowTest.h"
#include "toolkit/LinkLabel.h"
#include "ui/About.h"
#include "ui/HelpWindow.h"
#include "ui/MainForm.h"
#include "ui/MakerLinks.h"
#include "ui/Order.h"
#include "ui/Support.h"
#include "ui/Systems.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSet>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QWindow>

#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace {

struct Window : MainWindowFixture {
    Window()
        : MainWindowFixture({{u"Alpha"_s, u"/srv/a"_s, {}}})
    {
        open();
        form->show();
    }
    QDialog* dialog(const QString& name) const { return form->findChild<QDialog*>(name); }
    void run(const QString& action) const { form->findChild<QAction*>(action)->trigger(); }
};

// The texts a dialog shows, in the order of its widgets.
QStringList textsOf(const QWidget* dialog)
{
    QStringList texts;
    for (const QLabel* label : dialog->findChildren<QLabel*>())
        if (!label->text().isEmpty())
            texts << label->text();
    return texts;
}

QString guideHtml()
{
    QFile guide(u":/help/guide.html"_s);
    return guide.open(QIODevice::ReadOnly) ? QString::fromUtf8(guide.readAll()) : QString();
}

THelpWindow* helpWindow()
{
    for (QWidget* w : QApplication::allWidgets())
        if (auto* help = qobject_cast<THelpWindow*>(w))
            return help;
    return nullptr;
}

} // namespace

class TestInformationDialogs : public WindowTest {
    Q_OBJECT
private Q_SLOTS:
    void createdHiddenAtStartupInTheirOrder()
    {
        Window w;
        QList<int> positions;
        const QObjectList children = w.form->children();
        for (const QString& name :
             {u"AboutBox"_s, u"SupportBox"_s, u"OrderBox"_s, u"SystemsForm"_s}) {
            QDialog* d = w.dialog(name);
            QVERIFY2(d, qPrintable(name));
            QVERIFY2(d->isHidden(), qPrintable(name));
            positions << static_cast<int>(children.indexOf(d));
        }
        QVERIFY2(std::is_sorted(positions.begin(), positions.end()), "created out of order");
        QCOMPARE(w.dialog(u"AboutBox"_s), w.form->aboutBox());
    }

    void eachDialogShowsItsTexts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QSize>("clientSize");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QStringList>("links");
        const QString web = MakerLinks::webAddress();
        const QString mail = MakerLinks::supportMail();
        QTest::newRow("About") << u"AboutBox"_s << u"About Vardometer"_s << QSize(319, 201)
                               << QStringList{u"Vardometer"_s, u"Version 1.8.1.1"_s, web}
                               << QStringList{u"DravenoltWebSite"_s};
        QTest::newRow("Support") << u"SupportBox"_s << u"Support"_s << QSize(414, 216)
                                 << QStringList{u"Support is available from :"_s,
                                                u"1. Online FAQ's at :"_s, web,
                                                u"2. Email Support from : "_s, mail}
                                 << QStringList{u"DravenoltWebSite"_s, u"MailtoSupport"_s};
        QTest::newRow("Order") << u"OrderBox"_s << u"Order"_s << QSize(409, 168)
                               << QStringList{u"Vardometer can be priced and ordered online "
                                              u"from  :"_s,
                                              web}
                               << QStringList{u"DravenoltWebSite"_s};
    }
    void eachDialogShowsItsTexts()
    {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QSize, clientSize);
        QFETCH(QStringList, texts);
        QFETCH(QStringList, links);
        Window w;
        QDialog* d = w.dialog(name);
        QCOMPARE(d->windowTitle(), caption);
        QCOMPARE(d->size(), clientSize);
        QCOMPARE(d->minimumSize(), d->maximumSize()); // not resizable
        QCOMPARE(textsOf(d), texts);

        // One button, the default, and no other way to answer.
        const QList<QPushButton*> buttons = d->findChildren<QPushButton*>();
        QCOMPARE(buttons.size(), 1);
        QCOMPARE(buttons.front()->text(), u"OK"_s);
        QVERIFY(buttons.front()->isDefault());

        for (const QString& link : links) {
            auto* label = d->findChild<LinkLabel*>(link);
            QVERIFY2(label, qPrintable(link));
            QCOMPARE(label->palette().color(QPalette::WindowText), QColor(0, 0, 255));
            QVERIFY(label->font().underline());
            QCOMPARE(label->cursor().shape(), Qt::PointingHandCursor);
        }
        // Every text fits its dialog; nothing is cut off at the edge.
        d->show();
        QVERIFY(QTest::qWaitForWindowExposed(d));
        for (const QLabel* label : d->findChildren<QLabel*>()) {
            const QRect inDialog(label->mapTo(d, QPoint(0, 0)), label->size());
            QVERIFY2(d->rect().contains(inDialog), qPrintable(label->text()));
            if (!label->wordWrap() && !label->text().isEmpty())
                QVERIFY2(label->width() >= label->sizeHint().width(), qPrintable(label->text()));
        }
        d->hide();
    }

    void closesWithOkEnterOrTheCloseBoxAndReopensTheSame_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("closeWith");
        for (const auto& [action, name] : {std::pair{u"MnuMainHelpAbout"_s, u"AboutBox"_s},
                                           {u"MnuMainHelpSupport"_s, u"SupportBox"_s},
                                           {u"MnuMainHelpOrdering"_s, u"OrderBox"_s}})
            for (const QString& way : {u"OK"_s, u"Enter"_s, u"close box"_s})
                QTest::newRow(qPrintable(name + u", "_s + way)) << action << name << way;
    }
    void closesWithOkEnterOrTheCloseBoxAndReopensTheSame()
    {
        QFETCH(QString, action);
        QFETCH(QString, name);
        QFETCH(QString, closeWith);
        Window w;
        QDialog* d = w.dialog(name);
        const QStringList texts = textsOf(d);
        for (int showing = 0; showing < 2; ++showing) {
            WhileModal inside([&](QWidget* modal) {
                QCOMPARE(modal, d);
                auto* ok = d->findChild<QPushButton*>();
                // The focus arrives with the activation, which a busy machine may deliver late.
                QVERIFY(QTest::qWaitForWindowActive(d));
                QTRY_COMPARE(QApplication::focusWidget(), ok);
                QCOMPARE(textsOf(d), texts);
                // Escape has nothing to cancel.
                QTest::keyClick(d, Qt::Key_Escape);
                QVERIFY(d->isVisible());
                if (closeWith == u"OK")
                    ok->click();
                else if (closeWith == u"Enter")
                    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
                else
                    d->close();
            });
            w.run(action);
            QVERIFY(inside.ran());
            QVERIFY(d->isHidden());
            QCOMPARE(d->result(),
                     closeWith == u"close box" ? QDialog::Rejected : QDialog::Accepted);
            // The same instance, reused.
            QCOMPARE(w.dialog(name), d);
        }
    }

    void aLinkOpensItsAddressAndTheDialogStaysOpen_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("link");
        QTest::addColumn<QUrl>("url");
        const QUrl web = MakerLinks::webUrl();
        QTest::newRow("About, web site") << u"MnuMainHelpAbout"_s << u"DravenoltWebSite"_s << web;
        QTest::newRow("Support, web site")
            << u"MnuMainHelpSupport"_s << u"DravenoltWebSite"_s << web;
        QTest::newRow("Support, mail") << u"MnuMainHelpSupport"_s << u"MailtoSupport"_s
                                       << QUrl(u"mailto:"_s + MakerLinks::supportMail());
        QTest::newRow("Order, web site")
            << u"MnuMainHelpOrdering"_s << u"DravenoltWebSite"_s << web;
    }
    void aLinkOpensItsAddressAndTheDialogStaysOpen()
    {
        QFETCH(QString, action);
        QFETCH(QString, link);
        QFETCH(QUrl, url);
        Window w;
        UrlRecorder desktop({u"http"_s, u"https"_s, u"mailto"_s});
        WhileModal inside([&](QWidget* modal) {
            auto* label = modal->findChild<LinkLabel*>(link);
            QVERIFY(label);
            QTest::mouseClick(label, Qt::LeftButton);
            QCOMPARE(desktop.opened, QList<QUrl>{url});
            QVERIFY(modal->isVisible());
            // A press that ends off the link is no click.
            QTest::mousePress(label, Qt::LeftButton);
            QTest::mouseRelease(label, Qt::LeftButton, {}, QPoint(-5, -5));
            QCOMPARE(desktop.opened.size(), 1);
            modal->findChild<QPushButton*>()->click();
        });
        w.run(action);
        QVERIFY(inside.ran());
    }

    void helpMenuOpensTheGuideAndTheLicence()
    {
        Window w;
        w.run(u"MnuMainHelpVardometerHelp"_s);
        THelpWindow* help = helpWindow();
        QVERIFY(help);
        QVERIFY(help->isVisible());
        QCOMPARE(help->windowTitle(), u"Vardometer Help"_s);
        QCOMPARE(help->browser()->source(), QUrl(u"qrc:/help/guide.html"_s));
        QVERIFY(help->browser()->toPlainText().contains(u"Check Space"_s));

        w.run(u"MnuMainHelpLicence"_s);
        QCOMPARE(helpWindow(), help); // one window for both topics
        const QString licence = help->browser()->toPlainText();
        QVERIFY(licence.contains(u"GNU GENERAL PUBLIC LICENSE"_s));
        QVERIFY(licence.contains(u"Version 3, 29 June 2007"_s));
        QVERIFY(licence.contains(u"END OF TERMS AND CONDITIONS"_s));

        // Back returns to the guide, as in any browser.
        help->browser()->backward();
        QCOMPARE(help->browser()->source(), QUrl(u"qrc:/help/guide.html"_s));
        help->close();
    }

    void aSectionOpensTheGuideThere_data()
    {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("heading");
        QTest::newRow("options") << u"options"_s << u"The Options dialog"_s;
        QTest::newRow("export") << u"export"_s << u"Export to a spreadsheet"_s;
        QTest::newRow("command line") << u"command-line"_s << u"The command-line tool"_s;
    }
    void aSectionOpensTheGuideThere()
    {
        QFETCH(QString, section);
        QFETCH(QString, heading);
        Window w;
        Help::showTopic(Help::Guide, section);
        THelpWindow* help = helpWindow();
        QVERIFY(help);
        QTextBrowser* browser = help->browser();
        QCOMPARE(browser->source().fragment(), section);
        // The section's heading stands at the top of the view.
        QTRY_VERIFY(browser->verticalScrollBar()->value() > 0);
        const QTextCursor top = browser->cursorForPosition(QPoint(10, 10));
        bool found = false;
        for (QTextBlock b = top.block(); b.isValid() && b.blockNumber() < top.blockNumber() + 3;
             b = b.next())
            found = found || b.text() == heading;
        QVERIFY2(found, qPrintable(top.block().text()));
        help->close();
    }

    void helpAskedForInsideAModalDialogIsUsableThere()
    {
        // The Options dialog's Help opens the guide while the dialog runs modally; a window
        // that is not the dialog's own would take no input until the dialog closed.
        Window w;
        THelpWindow* help = nullptr;
        WhileModal inside([&](QWidget* modal) {
            Help::showTopic(Help::Guide, u"options"_s);
            help = helpWindow();
            QVERIFY(help);
            QVERIFY(help->isVisible());
            QWindow* owner = help->windowHandle()->transientParent();
            QCOMPARE(owner, modal->windowHandle());
            qobject_cast<QDialog*>(modal)->accept();
        });
        w.run(u"MnuMainObjectsSystems"_s);
        QVERIFY(inside.ran());
        // It stays open after the dialog, and the main window's help finds the same one.
        QVERIFY(help->isVisible());
        w.run(u"MnuMainHelpVardometerHelp"_s);
        QCOMPARE(helpWindow(), help);
        QCOMPARE(help->windowHandle()->transientParent(), w.form->windowHandle());
        help->close();
    }

    void everyLinkOfTheGuideLeadsSomewhere()
    {
        const QString html = guideHtml();
        QVERIFY(!html.isEmpty());
        QSet<QString> anchors;
        const QRegularExpression name(uR"re(<a name="([^"]+)")re"_s);
        for (const auto& m : name.globalMatch(html))
            anchors << m.captured(1);
        const QRegularExpression href(uR"re(href="#([^"]+)")re"_s);
        int links = 0;
        for (const auto& m : href.globalMatch(html)) {
            ++links;
            QVERIFY2(anchors.contains(m.captured(1)), qPrintable(m.captured(1)));
        }
        QVERIFY(links > 20);
        // The parts other windows open directly.
        QVERIFY(anchors.contains(u"options"_s));
    }
};

QTEST_MAIN(TestInformationDialogs)
#include "test_information_dialogs.moc"
