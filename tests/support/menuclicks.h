#pragma once
// Menus chosen as a person does: a click on the menu bar's title, then on each item in turn.

#include <QApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStringList>
#include <QTest>

namespace ovtest {

// Opens the menu titled title (with its &) and clicks the items named by objectName, a submenu
// by the objectName of its menu. False when a menu or an item is not there.
inline bool chooseFromMenus(QMainWindow& window, const QString& title, const QStringList& items) {
    QMenuBar* bar = window.menuBar();
    const auto popup = [] {
        QMenu* menu = nullptr;
        (void)QTest::qWaitFor([&] {
            menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            return menu != nullptr && menu->isVisible();
        });
        return menu;
    };
    for (QAction* action : bar->actions())
        if (action->text() == title)
            QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(action).center());
    QMenu* menu = popup();
    for (const QString& name : items) {
        if (menu == nullptr)
            return false;
        QAction* chosen = nullptr;
        for (QAction* action : menu->actions())
            if (action->objectName() == name ||
                (action->menu() && action->menu()->objectName() == name))
                chosen = action;
        if (chosen == nullptr)
            return false;
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(chosen).center());
        if (chosen->menu() != nullptr) {
            (void)QTest::qWaitFor([&] { return chosen->menu()->isVisible(); });
            menu = chosen->menu();
        }
    }
    return true;
}

} // namespace ovtest
