#pragma once

#include <QAction>
#include <QDialog>
#include <QStringList>
#include <QWidget>

#include <functional>

class QMenu;

namespace os::test {

// Finds the action named `name` under `root`; fails the test when it is missing.
QAction* actionNamed(QWidget* root, const QString& name);

// Fires the last action of `path` after checking that every action on the
// way (a menu, then its item) exists and is enabled, as a user would find it.
// Returns false (with a test failure recorded) when one is missing or disabled.
bool fire(QWidget* root, const QStringList& path);

// The captions of a menu in order, separators as "-".
QStringList captions(const QMenu* menu);

// Runs `handler` on the first modal widget that comes up after this call
// (polled from a zero-delay timer, so it also works inside exec()).
void whenModal(std::function<void(QWidget*)> handler);

} // namespace os::test
