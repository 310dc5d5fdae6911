// A pop-up whose choice acts at once takes it only from its open list: keys
// over it closed open the list, and the wheel (the application's own rule)
// changes nothing.
#include "core/ui/PopUp.h"
#include "shell/ui/WheelScroll.h"
#include "support/Spin.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTest>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <gtest/gtest.h>
#include <memory>

using testsupport::spinUntil;

namespace {

struct Rig {
    std::unique_ptr<QWidget> window = std::make_unique<QWidget>();
    QComboBox* box = new QComboBox(window.get());
    QList<int> activated;
    QList<int> indexChanges;

    explicit Rig(bool editable = false)
    {
        ui::letTheWheelScrollPastFields();
        (new QVBoxLayout(window.get()))->addWidget(box);
        box->setEditable(editable);
        box->addItems({ QStringLiteral("甲站"), QStringLiteral("乙站"), QStringLiteral("丙站") });
        box->setCurrentIndex(1);
        chooseInOpenList(box);
        chooseInOpenList(box); // twice is once
        QObject::connect(box, &QComboBox::activated, [this](int i) { activated << i; });
        QObject::connect(box, &QComboBox::currentIndexChanged, [this](int i) { indexChanges << i; });
        window->show();
        window->activateWindow();
        box->setFocus();
    }
    bool listOpen() const { return box->view()->isVisible(); }
    void openList()
    {
        QTest::keyClick(box, Qt::Key_Down);
        ASSERT_TRUE(spinUntil([this] { return listOpen(); }));
    }
};

} // namespace

TEST(PopUpChoiceTest, KeysOverTheClosedPopUpOpenItsListAndChooseNothing)
{
    const struct {
        const char* name;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers = Qt::NoModifier;
        bool editable = false;
        bool opens = true;
    } rows[] = {
        { "Up", Qt::Key_Up },
        { "Down", Qt::Key_Down },
        { "Alt+Up", Qt::Key_Up, Qt::AltModifier },
        { "PageUp", Qt::Key_PageUp },
        { "PageDown", Qt::Key_PageDown },
        { "Home", Qt::Key_Home },
        { "End", Qt::Key_End },
        { "a typed letter", Qt::Key_B },
        { "an editable box, Down", Qt::Key_Down, Qt::NoModifier, true },
        // What is typed into an editable box is its text, not a choice.
        { "an editable box, a typed letter", Qt::Key_B, Qt::NoModifier, true, false },
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        Rig rig(r.editable);
        QTest::keyClick(rig.box, r.key, r.modifiers);
        if (r.opens)
            EXPECT_TRUE(spinUntil([&] { return rig.listOpen(); }));
        else
            EXPECT_FALSE(rig.listOpen());
        EXPECT_EQ(rig.box->currentIndex(), 1);
        EXPECT_TRUE(rig.activated.isEmpty());
        EXPECT_TRUE(rig.indexChanges.isEmpty());
        rig.box->hidePopup();
    }
}

TEST(PopUpChoiceTest, TheChoiceIsMadeInTheOpenListByEnterOrAClick)
{
    {
        SCOPED_TRACE("Enter");
        Rig rig;
        rig.openList();
        QTest::keyClick(rig.box->view(), Qt::Key_Down);
        EXPECT_TRUE(rig.activated.isEmpty());
        QTest::keyClick(rig.box->view(), Qt::Key_Return);
        EXPECT_EQ(rig.activated, QList<int> { 2 });
        EXPECT_EQ(rig.box->currentIndex(), 2);
        EXPECT_FALSE(rig.listOpen());
    }
    {
        SCOPED_TRACE("a click");
        Rig rig;
        rig.openList();
        QAbstractItemView* list = rig.box->view();
        const QPoint first(
            list->viewport()->width() / 2, list->visualRect(list->model()->index(0, 0)).center().y());
        // The pointer comes over the item first, as a hand on a mouse brings it.
        QMouseEvent over(QEvent::MouseMove, first, list->viewport()->mapToGlobal(first), Qt::NoButton,
            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(list->viewport(), &over);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, first);
        EXPECT_TRUE(spinUntil([&] { return !rig.activated.isEmpty(); }));
        EXPECT_EQ(rig.activated, QList<int> { 0 });
        EXPECT_EQ(rig.box->currentIndex(), 0);
    }
    {
        SCOPED_TRACE("the wheel");
        Rig rig;
        const QPoint at = rig.box->rect().center();
        QWheelEvent down(at, rig.box->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
            Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(rig.box, &down);
        EXPECT_EQ(rig.box->currentIndex(), 1);
        EXPECT_TRUE(rig.activated.isEmpty());
        EXPECT_FALSE(rig.listOpen());
    }
}
