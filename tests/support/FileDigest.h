#pragma once

#include <QCryptographicHash>
#include <QFile>
#include <QString>

// A file's bytes, summarised, to prove it was left byte for byte as it was; empty when
// there is no file.
inline QByteArray fileDigest(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return hash.result();
}
