#include "gui/app/file_dialog.h"

#include <QFileDialog>

#include <optional>

namespace os {

namespace {

std::optional<QString> g_next;

std::optional<QString> takeNext()
{
    std::optional<QString> next = g_next;
    g_next.reset();
    return next;
}

} // namespace

QString getSaveFileName(QWidget* parent, const QString& caption, const QString& path,
                        const QString& filter)
{
    if (const std::optional<QString> next = takeNext())
        return *next;
    return QFileDialog::getSaveFileName(parent, caption, path, filter);
}

QString getOpenFileName(QWidget* parent, const QString& caption, const QString& path,
                        const QString& filter)
{
    if (const std::optional<QString> next = takeNext())
        return *next;
    return QFileDialog::getOpenFileName(parent, caption, path, filter);
}

QString getExistingDirectory(QWidget* parent, const QString& caption, const QString& path)
{
    if (const std::optional<QString> next = takeNext())
        return *next;
    return QFileDialog::getExistingDirectory(parent, caption, path);
}

void setNextFileName(const QString& path)
{
    g_next = path;
}

} // namespace os
