#include "gui/settings/settings_editor.h"

#include "base/messages.h"
#include "base/settings.h"

namespace os {

bool saveEditedSettings()
{
    QString error;
    if (SaveSettings(&error))
        return true;
    showSettingsWriteError(error);
    return false;
}

void showSettingsWriteError(const QString& error)
{
    messages().error(error + QStringLiteral("\r\rThe changes are in use but will be lost when "
                                            "Ordersentinel ends. Fix the cause and press OK to try "
                                            "again, or Cancel."));
}

} // namespace os
