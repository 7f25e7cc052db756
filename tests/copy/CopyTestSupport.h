#pragma once

#include <QByteArray>
#include <QFile>
#include <QTest>
#include <QUrl>

namespace tessera::testing {

inline QUrl file(const QString &path)
{
    return QUrl::fromLocalFile(path);
}

inline void put(const QString &path, const QByteArray &bytes)
{
    QFile out(path);
    QVERIFY(out.open(QIODevice::WriteOnly));
    QCOMPARE(out.write(bytes), bytes.size());
}

inline QByteArray contents(const QString &path)
{
    QFile in(path);
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray("<missing>");
}

// The error `f` throws, so that one QCOMPARE checks it. When `f` returns, the test fails here.
template<typename Error, typename F>
Error thrown(F &&f)
{
    try {
        f();
    } catch (const Error &error) {
        return error;
    }
    QTest::qFail("an error was expected, but none was thrown", __FILE__, __LINE__);
    return Error{};
}

} // namespace tessera::testing
