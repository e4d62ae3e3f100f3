// Driving the windows' controls the way a user does, for the shell tests.
#pragma once

#include <QComboBox>
#include <QTest>
#include <gtest/gtest.h>

namespace zumo::test {

// The named child; fails the test when it is missing.
template <class T> T* child(const QObject* parent, const QString& name)
{
    T* found = parent->findChild<T*>(name);
    EXPECT_NE(found, nullptr) << "no control named " << name.toStdString();
    return found;
}

// Chooses an item with the keyboard: Home, then Down until the index is reached.
inline void choose(QComboBox* popup, int index)
{
    popup->setFocus();
    QTest::keyClick(popup, Qt::Key_Home);
    for (int i = 0; i < index; ++i)
        QTest::keyClick(popup, Qt::Key_Down);
}

} // namespace zumo::test
