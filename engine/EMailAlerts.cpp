#include "engine/Directories.h"

void dvDirectories::SendEMailAlerts()
{
    // Delivery by e-mail is added with the mail transport.
}
