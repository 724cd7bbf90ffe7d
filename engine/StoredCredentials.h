#pragma once

#include "platform/ShareCredential.h"

#include <QList>

class DbConnection;

// The logons of the Options dialog's Credentials tab, for the probes that log on to shares.
// A file without the table (never upgraded) simply has none.
QList<ShareCredential> storedShareCredentials(const DbConnection& db);
