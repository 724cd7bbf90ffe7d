#pragma once

#include <QMainWindow>
#include <QStringList>

#include <array>

class QLabel;
class QSplitter;
class QTabWidget;
class QTreeWidget;
class TDMVardometer;

// The main window. Its creation is the program's startup sequence (FormCreate) and its
// destruction closes every dataset and the connection (FormDestroy).
class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    // arguments: the command line without the program name.
    TMainForm(TDMVardometer& dataModule, const QStringList& arguments, QWidget* parent = nullptr);
    ~TMainForm() override;

    QString statusPanelText(int panel) const;
    bool debugMode() const { return m_debugMode; }

    enum Page { PageChart = 0, PageSummary = 1, PageHistory = 2, PageSystemHistory = 3 };

private:
    void buildLayout();
    void FormCreate();
    void FormDestroy();

    TDMVardometer& m_dm;
    QStringList m_arguments;
    bool m_debugMode = false;

    QTreeWidget* TVMenu = nullptr;
    QSplitter* Splitter1 = nullptr;
    QTabWidget* PagesFreeSpace = nullptr;
    std::array<QLabel*, 4> m_statusPanels{};
};
