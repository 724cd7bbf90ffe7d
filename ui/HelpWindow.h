#pragma once

#include <QString>
#include <QWidget>

class QTextBrowser;
class QUrl;

// The built-in help: the user guide and the licence, compiled into the program.
namespace Help {

// Topics by their context numbers.
enum Topic { Guide = 1, Licence = 3 };

// Opens the help window at a topic: 1 the user guide, 3 the licence. section names a part
// of the guide by its anchor ("options", "export", ...; see guide.html); empty: its top.
// The window is one for the whole program, and stays usable above a modal dialog.
void showTopic(int contextNumber, const QString& section = {});

} // namespace Help

// The window Help::showTopic opens: a browser over the compiled-in pages with back, forward
// and contents buttons.
class THelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit THelpWindow(QWidget* parent = nullptr);

    void showTopic(int contextNumber, const QString& section);
    QTextBrowser* browser() const { return m_browser; }

    // The page of a topic, with the section as its fragment.
    static QUrl topicUrl(int contextNumber, const QString& section);

private:
    QTextBrowser* m_browser = nullptr;
};
