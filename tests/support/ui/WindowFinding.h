#pragma once

#include <gtest/gtest.h>

#include <QAction>
#include <QString>
#include <QWidget>

namespace kinetar::test {

// A window's part by its object name; a missing one fails the test.
template <typename T = QAction>
T* FindIn(const QWidget& window, const char* name)
{
    T* found = window.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

}  // namespace kinetar::test
