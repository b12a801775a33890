// QCOMPARE for std::string, and the connection settings the tests give the
// access layer for the throwaway clusters.
#pragma once

#include <clocale>
#include <string>

#include <QByteArray>
#include <QtTest>

#include "db.h"
#include "site.h"
#include "testdb.h"

namespace QTest {
template <>
inline char* toString(const std::string& text) {
    return QTest::toString(QByteArray::fromStdString(text));
}
}  // namespace QTest

namespace dbtest {

// A connection of the program's account "vek" to a database of a test cluster.
inline void configure(db::Connection& c, const std::string& database,
                      testdb::Cluster cluster = testdb::Cluster::Ssl,
                      db::SslMode mode = db::SslMode::Prefer) {
    const testdb::Env& e = testdb::env();
    c.setServer(e.host);
    c.setPort(e.portOf(cluster));
    c.setDatabase(database);
    c.setUsername(site::databaseUser());
    c.setPassword(site::databasePassword());
    c.setSslMode(mode);
}

// Turns the process's locale to the named one for the life of the object;
// valid() is false when the machine does not have it.
class LocaleScope {
public:
    explicit LocaleScope(const char* name) {
        const char* old = std::setlocale(LC_ALL, nullptr);
        old_ = old != nullptr ? old : "C";
        valid_ = std::setlocale(LC_ALL, name) != nullptr;
    }
    ~LocaleScope() { std::setlocale(LC_ALL, old_.c_str()); }
    LocaleScope(const LocaleScope&) = delete;
    LocaleScope& operator=(const LocaleScope&) = delete;
    bool valid() const { return valid_; }

private:
    std::string old_;
    bool valid_ = false;
};

// The message of the db::Error that f throws; "" when it throws none.
template <class F>
std::string errorOf(F&& f) {
    try {
        f();
    } catch (const db::Error& e) {
        return e.what();
    }
    return {};
}

}  // namespace dbtest
