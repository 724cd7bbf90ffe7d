#pragma once

#include <QString>

// Text from the database as it goes to a terminal or a log: a system name holding a line
// break must not be able to print a line of its own, so every control character (and the
// Unicode line and paragraph separators) is written as a visible escape: \n, \r, \t, or
// \xHH / \uHHHH. Everything else, backslashes included, is left as it is.
QString withVisibleControlCharacters(const QString& text);
