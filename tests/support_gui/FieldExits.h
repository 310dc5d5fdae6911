#pragma once

// The ways a customer leaves a text field (Return, Tab, a click elsewhere)
// and where the keys typed next land. Header only: the tests that use it
// link QtTest.
#include <QApplication>
#include <QLineEdit>
#include <QString>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <initializer_list>

namespace testsupport {

struct FieldExit {
    QLineEdit* field;
    const char* typed;
    std::function<void()> leave;
    QString left; // what the field holds once left
    QLineEdit* next; // the field that has the focus then
};

// In turn for each way: the field is typed anew (a click into it, all of it
// selected and deleted, the keys) and left; then `next` has the focus, and
// "2" typed over what it holds lands there.
inline void leaveFields(std::initializer_list<FieldExit> ways)
{
    for (const FieldExit& way : ways) {
        SCOPED_TRACE(way.field->objectName().toStdString() + " " + way.typed);
        QTest::mouseClick(way.field, Qt::LeftButton);
        way.field->selectAll();
        QTest::keyClick(way.field, Qt::Key_Delete);
        QTest::keyClicks(way.field, QString::fromLatin1(way.typed));
        way.leave();
        EXPECT_EQ(way.field->text(), way.left);
        if (!way.next->hasFocus()) {
            const QWidget* focused = QApplication::focusWidget();
            ADD_FAILURE() << "the focus is on " << (focused ? focused->objectName().toStdString() : "nothing");
            return;
        }
        way.next->selectAll();
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("2"));
        EXPECT_EQ(way.next->text(), QStringLiteral("2"));
    }
}

} // namespace testsupport
