#pragma once

#include <QString>
#include <QTest>

// Fails the test unless `statement` throws an ErrorType (an os::Error) whose
// text is exactly `expectedText`.
#define OS_VERIFY_THROWS(ErrorType, statement, expectedText)                                       \
    do {                                                                                           \
        try {                                                                                      \
            statement;                                                                             \
            QFAIL("no " #ErrorType " from: " #statement);                                          \
        } catch (const ErrorType& thrown_) {                                                       \
            QCOMPARE(thrown_.text(), QString(expectedText));                                       \
        }                                                                                          \
    } while (false)
