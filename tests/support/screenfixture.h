#pragma once
// Fixtures of the window tests: the messages shown, recorded, and the main screen on a test store.

#include "testsupport.h"
#include "ui/mainscreen.h"
#include "ui/messages.h"

#include <QStringList>
#include <QTest>
#include <memory>

namespace ovtest {

// Every message the windows show goes into messages instead of a dialog. A test class derives
// from QObject first, then from this.
class MessageFixture {
protected:
    // From initTestCase(): isolated user folders, and the messages recorded from then on.
    void recordMessages() {
        isolateUserFolders();
        ov::ui::setMessageRecorder([this](const QString& text) { messages << text; });
    }
    // From init(): no message yet, and no answer waiting for the next confirmation.
    void clearMessages() {
        messages.clear();
        ov::ui::setNextConfirmation(nullptr);
    }

    QStringList messages;
};

// The main screen on a temporary store whose random tables each test chooses.
class ScreenFixture : public MessageFixture {
protected:
    // A new store in its own folder, without any random table.
    void emptyStore() {
        temp = std::make_unique<TempDatabase>();
        clearRandomTables(*temp->db);
    }
    // The main screen on the store, shown and active.
    void showScreen() {
        screen = std::make_unique<ov::ui::TovMainPerso>(temp->path);
        screen->show();
        QVERIFY(QTest::qWaitForWindowActive(screen.get()));
    }
    // From cleanup(): the screen goes before its store.
    void closeScreen() {
        screen.reset();
        temp.reset();
    }

    std::unique_ptr<TempDatabase> temp;
    std::unique_ptr<ov::ui::TovMainPerso> screen;
};

} // namespace ovtest
