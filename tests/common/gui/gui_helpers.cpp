#include "common/gui/gui_helpers.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QTest>
#include <QTimer>

namespace os::test {

QAction* actionNamed(QWidget* root, const QString& name)
{
    auto* a = root->findChild<QAction*>(name);
    if (!a)
        QTest::qFail(qPrintable(QStringLiteral("no action named ") + name), __FILE__, __LINE__);
    return a;
}

bool fire(QWidget* root, const QStringList& path)
{
    QAction* last = nullptr;
    for (const QString& name : path) {
        last = root->findChild<QAction*>(name);
        if (!last) {
            QTest::qFail(qPrintable(QStringLiteral("no action named ") + name), __FILE__, __LINE__);
            return false;
        }
        if (!last->isEnabled()) {
            QTest::qFail(qPrintable(QStringLiteral("action is disabled: ") + name), __FILE__,
                         __LINE__);
            return false;
        }
    }
    last->trigger();
    return true;
}

QStringList captions(const QMenu* menu)
{
    QStringList out;
    for (const QAction* a : menu->actions()) {
        if (!a->isVisible())
            continue;
        out << (a->isSeparator() ? QStringLiteral("-") : a->text());
    }
    return out;
}

void whenModal(std::function<void(QWidget*)> handler)
{
    auto* timer = new QTimer(qApp);
    timer->setInterval(0);
    QElapsedTimer clock;
    clock.start();
    QObject::connect(timer, &QTimer::timeout, timer, [timer, handler, clock] {
        // A modal that never comes must not be answered by a later test.
        if (clock.hasExpired(10000)) {
            timer->stop();
            timer->deleteLater();
            return;
        }
        if (QWidget* w = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            handler(w);
        }
    });
    timer->start();
}

} // namespace os::test
