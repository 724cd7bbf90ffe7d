#include "engine/Directories.h"

void dvDirectories::ShowPopupAlerts()
{
    // Delivery in the popup window is added with that window.
}
