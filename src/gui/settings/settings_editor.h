#pragma once

#include <QString>

namespace os {

// What every settings editor does on OK: write the settings record to the
// settings file. On a failure (a full disk, a folder that cannot be written)
// the merchant is shown the file and the system's reason, and false tells the
// editor to stay open so that OK can be pressed again once the cause is
// fixed, or Cancel. The record keeps the values either way.
bool saveEditedSettings();

// Shows a write failure of an editor (an `error` text of SaveSettings or
// saveStoreDomain) with what the merchant can do about it.
void showSettingsWriteError(const QString& error);

} // namespace os
