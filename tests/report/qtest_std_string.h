// Lets QCOMPARE print std::string values when they differ.
#pragma once

#include <string>

#include <QByteArray>
#include <QtTest>

namespace QTest {
template <>
inline char* toString(const std::string& text) {
    return QTest::toString(QByteArray::fromStdString(text));
}
}  // namespace QTest
