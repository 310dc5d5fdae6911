// A pop-up whose choice acts at once takes it only from its open list: keys
// over it closed open the list, and the wheel (the application's own rule)
// changes nothing.
#include "core/ui/PopUp.h"
#include "shell/ui/WheelScroll.h"
#include "support/Spin.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QMouseEvent>
#include <QTest>
#include <QWheelEvent>
#include <gtest/gtest.h>

TEST(PopUpChoiceTest, KeysOverItClosedOpenTheListTheListMakesTheChoiceTheWheelNothing)
{
    enum Act { Key, Enter, Click, Wheel };
    const struct {
        const char* name;
        Act act;
        Qt::Key key = Qt::Key_unknown;
        bool editable = false;
        int chosen = -1; // the item the act chooses, or none
    } rows[] = {
        { "Up", Key, Qt::Key_Up },
        { "Down", Key, Qt::Key_Down },
        { "PageUp", Key, Qt::Key_PageUp },
        { "PageDown", Key, Qt::Key_PageDown },
        { "Home", Key, Qt::Key_Home },
        { "End", Key, Qt::Key_End },
        { "a typed letter", Key, Qt::Key_G },
        { "Down over an editable box", Key, Qt::Key_Down, true },
        { "Enter in the open list", Enter, Qt::Key_unknown, false, 2 },
        { "a click in the open list", Click, Qt::Key_unknown, false, 0 },
        { "the wheel", Wheel },
    };
    ui::letTheWheelScrollPastFields();
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        QComboBox box;
        box.setEditable(r.editable);
        box.addItems({ QStringLiteral("Alpha"), QStringLiteral("Beta"), QStringLiteral("Gamma") });
        box.setCurrentIndex(1);
        chooseInOpenList(&box);
        chooseInOpenList(&box); // twice is once
        QList<int> activated, changed;
        QObject::connect(&box, &QComboBox::activated, [&](int i) { activated << i; });
        QObject::connect(&box, &QComboBox::currentIndexChanged, [&](int i) { changed << i; });
        box.show();
        box.setFocus();
        QAbstractItemView* list = box.view();
        if (r.act == Wheel) {
            const QPoint at = box.rect().center();
            QWheelEvent down(at, box.mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                Qt::NoScrollPhase, false);
            QApplication::sendEvent(&box, &down);
        } else {
            QTest::keyClick(&box, r.act == Key ? r.key : Qt::Key_Down);
            if (!testsupport::spinUntil([&] { return list->isVisible(); })) {
                ADD_FAILURE() << "the list stays closed";
                continue;
            }
            EXPECT_EQ(box.currentIndex(), 1);
            EXPECT_TRUE(activated.isEmpty());
        }
        if (r.act == Enter) {
            QTest::keyClick(list, Qt::Key_Down);
            QTest::keyClick(list, Qt::Key_Return);
        } else if (r.act == Click) {
            // The pointer comes over the first item, then clicks it.
            const QPoint first(
                list->viewport()->width() / 2, list->visualRect(list->model()->index(0, 0)).center().y());
            QMouseEvent over(QEvent::MouseMove, first, list->viewport()->mapToGlobal(first), Qt::NoButton,
                Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(list->viewport(), &over);
            QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, first);
        }
        EXPECT_EQ(activated, r.chosen < 0 ? QList<int>() : QList<int> { r.chosen });
        EXPECT_EQ(box.currentIndex(), r.chosen < 0 ? 1 : r.chosen);
        EXPECT_EQ(changed.isEmpty(), r.chosen < 0);
        if (r.chosen >= 0)
            EXPECT_FALSE(list->isVisible());
        box.hidePopup();
    }
}
