#pragma once

#include <QDesktopServices>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QUrl>

// Records every URL handed to the desktop for the given schemes, in place of the desktop.
// A test lists this header among its sources, so that its slot is compiled.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    explicit UrlRecorder(const QStringList& schemes)
        : m_schemes(schemes)
    {
        for (const QString& scheme : m_schemes)
            QDesktopServices::setUrlHandler(scheme, this, "open");
    }
    ~UrlRecorder() override
    {
        for (const QString& scheme : m_schemes)
            QDesktopServices::unsetUrlHandler(scheme);
    }
    QList<QUrl> opened;

public Q_SLOTS:
    void open(const QUrl& url) { opened << url; }

private:
    QStringList m_schemes;
};
