#pragma once

#include <QIcon>

// The program's small pictures: from the desktop's icon theme where it has them, otherwise
// drawn here, so a bare machine still shows a coherent set.
namespace Pictures {

enum Picture {
    Chart,      // the first picture: charts, system nodes
    Table,      // the Summary and History tabs and nodes
    Systems,    // "System History" and the menu item "Systems ..."
    Company,    // the tree's root
    CheckSpace, // the toolbar button and the window
    General,    // the Options dialog's tabs
    EMail,
    Recipients,
    Credentials,
};

QIcon icon(Picture picture);

} // namespace Pictures
