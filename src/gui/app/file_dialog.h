#pragma once

#include <QString>

class QWidget;

namespace os {

// Every file dialog of the program goes through here, so that tests can
// answer one without a dialog (setNextFileName), as the message service does
// for message boxes.
QString getSaveFileName(QWidget* parent, const QString& caption, const QString& path,
                        const QString& filter);
QString getOpenFileName(QWidget* parent, const QString& caption, const QString& path,
                        const QString& filter);
QString getExistingDirectory(QWidget* parent, const QString& caption, const QString& path);

// The next file dialog returns `path` at once without showing (an empty
// path: as if cancelled). One answer per call; for tests.
void setNextFileName(const QString& path);

} // namespace os
