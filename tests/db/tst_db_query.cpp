// Queries and server-function calls against a throwaway company database:
// the declared-column check, values of every kind (under a decimal-comma
// locale too), parameters, refresh with relocation, the current record,
// listeners, and server errors reaching the caller.
#include "qtest_support.h"

#include <memory>

using db::FieldKind;

Q_DECLARE_METATYPE(db::FieldKind)

namespace {

const char* const kLogBase =
    "delete from wpv_log;"
    "insert into wpv_log values ('2024-03-01', 'A', 10.5), ('2024-03-01', 'B', 20),"
    " ('2024-03-02', 'A', 30.25), ('2024-03-03', 'C', null)";

std::string keyOf(const db::Query& q) {
    return q.asString("data_awb") + "/" + q.asString("awb");
}

}  // namespace

class TestQuery : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void kinds_data();
    void kinds();
    void typedValues_data();
    void typedValues();
    void columnCheck_data();
    void columnCheck();
    void refreshRelocates_data();
    void refreshRelocates();
    void failedRefreshKeepsRows();
    void currentRecord();
    void listeners();
    void parameters_data();
    void parameters();
    void serverErrors_data();
    void serverErrors();
    void failureWhileRowsArrive_data();
    void failureWhileRowsArrive();
    void storedFunctionResult();
    void memoryIsCompact();

private:
    std::unique_ptr<testdb::CompanyDatabase> company_;
    std::unique_ptr<db::Connection> conn_;
};

void TestQuery::initTestCase() {
    company_ = std::make_unique<testdb::CompanyDatabase>("dbquery");
    testdb::Connection su = company_->superuser();
    // A session time zone with a half-hour offset, to see offsets dropped.
    su.exec("alter database " + testdb::quoteIdentifier(company_->name()) + " set timezone = 'Asia/Kolkata'");
    su.exec("create table wpv_log (data_awb date not null, awb text not null, suma numeric(12,2),"
            " primary key (data_awb, awb));"
            "grant select, insert, update, delete on wpv_log to vek;"
            "create table wpv_secret (x int);"
            "create type wpv_color as enum ('red', 'green');"
            "create domain wpv_code as varchar(10);"
            "create function wpv_fail(p text) returns int language plpgsql as $$"
            " begin raise exception 'Factura % nu exista', p using detail = 'detaliu', hint = 'indiciu'; end $$;"
            "create function wpv_fail_coded() returns int language plpgsql as $$"
            " begin raise exception using message = 'AWB lipsa', errcode = 'WP001'; end $$;"
            "create function wpv_json_len(p json) returns int language sql as $$"
            " select json_array_length(p) $$;");
    su.exec(kLogBase);
    conn_ = std::make_unique<db::Connection>("conVek");
    dbtest::configure(*conn_, company_->name());
    conn_->setDisconnectedMode(true);
}

void TestQuery::cleanupTestCase() {
    conn_.reset();
    company_.reset();
}

// One column "v" of the given expression declared with the given kind: the
// open fails with `error`, or gives `text` (NULL told apart).
void TestQuery::kinds_data() {
    QTest::addColumn<QString>("expression");
    QTest::addColumn<FieldKind>("kind");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("null");
    const auto ok = [](const char* name, const char* expr, FieldKind kind, const char* text, bool null = false) {
        QTest::newRow(name) << expr << kind << "" << text << null;
    };
    const auto bad = [](const char* name, const char* expr, FieldKind kind, const char* error) {
        QTest::newRow(name) << expr << kind << error << "" << false;
    };
    ok("int4 as Integer", "42::int4", FieldKind::Integer, "42");
    ok("int2 as Integer", "-7::int2", FieldKind::Integer, "-7");
    ok("int8 within 32 bits as Integer", "2147483647::int8", FieldKind::Integer, "2147483647");
    bad("int8 beyond 32 bits", "3000000000::int8", FieldKind::Integer,
        "dsKinds: Invalid value '3000000000' for field 'v'");
    ok("null Integer", "null::int4", FieldKind::Integer, "", true);
    ok("numeric as Double", "12.50::numeric", FieldKind::Double, "12.5");
    ok("numeric(12,2) as Double", "1234.5::numeric(12,2)", FieldKind::Double, "1234.5");
    ok("negative numeric", "-0.01::numeric", FieldKind::Double, "-0.01");
    ok("float8 as Double", "0.1::float8", FieldKind::Double, "0.1");
    ok("float4 as Double", "0.5::float4", FieldKind::Double, "0.5");
    ok("int4 as Double", "7", FieldKind::Double, "7");
    ok("numeric NaN", "'NaN'::numeric", FieldKind::Double, "nan");
    ok("float8 infinity", "'-Infinity'::float8", FieldKind::Double, "-inf");
    ok("numeric beyond double", "1e400::numeric", FieldKind::Double, "inf");
    ok("text as LongText", "'ăîșțâ €'::text", FieldKind::LongText, "ăîșțâ €");
    ok("text as Text", "'abc'::text", FieldKind::Text, "abc");
    ok("varchar as Text", "'abc'::varchar(10)", FieldKind::Text, "abc");
    ok("varchar as LongText", "'abc'::varchar", FieldKind::LongText, "abc");
    ok("bpchar keeps its padding", "'ab'::char(4)", FieldKind::Text, "ab  ");
    ok("name as Text", "'pg'::name", FieldKind::Text, "pg");
    ok("json as LongText", "'{\"a\": 1}'::json", FieldKind::LongText, "{\"a\": 1}");
    ok("uuid as Text", "'a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11'::uuid", FieldKind::Text,
       "a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11");
    ok("domain over varchar as Text", "'X1'::wpv_code", FieldKind::Text, "X1");
    ok("enum as Text", "'green'::wpv_color", FieldKind::Text, "green");
    ok("empty text is not NULL", "''::text", FieldKind::Text, "");
    ok("null text", "null::text", FieldKind::LongText, "", true);
    ok("bool true", "true", FieldKind::Boolean, "True");
    ok("bool false", "false", FieldKind::Boolean, "False");
    ok("date", "'2024-03-15'::date", FieldKind::Date, "2024-03-15");
    ok("date before 1970", "'1901-12-31'::date", FieldKind::Date, "1901-12-31");
    ok("date infinity", "'infinity'::date", FieldKind::Date, "infinity");
    ok("timestamp", "'2024-03-15 14:30:00'::timestamp", FieldKind::DateTime, "2024-03-15 14:30:00");
    ok("timestamp with microseconds", "'2024-03-15 14:30:00.123456'::timestamp", FieldKind::DateTime,
       "2024-03-15 14:30:00.123456");
    ok("timestamptz: wall clock of the session zone", "'2024-03-15 12:00:00+00'::timestamptz",
       FieldKind::DateTime, "2024-03-15 17:30:00");
    ok("null date", "null::date", FieldKind::Date, "", true);
    bad("text as Integer", "'12'::text", FieldKind::Integer,
        "dsKinds: Type mismatch for field 'v', expecting: Integer actual: LongText");
    bad("numeric as Text", "12.5::numeric", FieldKind::Text,
        "dsKinds: Type mismatch for field 'v', expecting: Text actual: Double");
    bad("varchar as Double", "'1'::varchar", FieldKind::Double,
        "dsKinds: Type mismatch for field 'v', expecting: Double actual: Text");
    bad("numeric as Integer", "1::numeric", FieldKind::Integer,
        "dsKinds: Type mismatch for field 'v', expecting: Integer actual: Double");
    bad("date as DateTime", "current_date", FieldKind::DateTime,
        "dsKinds: Type mismatch for field 'v', expecting: DateTime actual: Date");
    bad("timestamp as Date", "now()", FieldKind::Date,
        "dsKinds: Type mismatch for field 'v', expecting: Date actual: DateTime");
    bad("int4 as Boolean", "1", FieldKind::Boolean,
        "dsKinds: Type mismatch for field 'v', expecting: Boolean actual: Integer");
    bad("bool as LongText", "true", FieldKind::LongText,
        "dsKinds: Type mismatch for field 'v', expecting: LongText actual: Boolean");
    bad("bytea as Text", "'\\x00'::bytea", FieldKind::Text,
        "dsKinds: Type mismatch for field 'v', expecting: Text actual: bytea");
    bad("interval as DateTime", "interval '1 day'", FieldKind::DateTime,
        "dsKinds: Type mismatch for field 'v', expecting: DateTime actual: interval");
}

void TestQuery::kinds() {
    QFETCH(QString, expression);
    QFETCH(FieldKind, kind);
    QFETCH(QString, error);
    QFETCH(QString, text);
    QFETCH(bool, null);
    db::Query q("dsKinds", *conn_, "select 1 as other, " + expression.toStdString() + " as v", {{"v", kind}});
    QCOMPARE(QString::fromStdString(dbtest::errorOf([&] { q.open(); })), error);
    QCOMPARE(q.active(), error.isEmpty());
    if (!error.isEmpty()) return;
    QCOMPARE(q.recordCount(), size_t{1});
    QCOMPARE(q.column("v").kind(), kind);
    QCOMPARE(QString::fromStdString(q.asString("v")), text);
    QCOMPARE(q.isNull("v"), null);
}

// Typed values, under the C locale and under locales whose decimal separator
// is a comma (rows skipped where the machine lacks the locale).
void TestQuery::typedValues_data() {
    QTest::addColumn<QByteArray>("locale");
    QTest::newRow("C") << QByteArray("C");
    QTest::newRow("ro_RO.UTF-8") << QByteArray("ro_RO.UTF-8");
    QTest::newRow("de_DE.UTF-8") << QByteArray("de_DE.UTF-8");
}

void TestQuery::typedValues() {
    QFETCH(QByteArray, locale);
    dbtest::LocaleScope scope(locale.constData());
    if (!scope.valid()) QSKIP("locale not installed on this machine");
    db::Query q("dsTyped", *conn_,
                "select 12.50::numeric as amount, 1234.5::float8 as f, 1e-7::float8 as tiny, -3 as i,"
                " '2024-03-15'::date as d, '2024-03-15 14:30:00.25'::timestamp as ts, true as b,"
                " :pAmount::numeric * 2 as doubled, :pDataAwb + 1 as next_day",
                {{"amount", FieldKind::Double},
                 {"f", FieldKind::Double},
                 {"tiny", FieldKind::Double},
                 {"i", FieldKind::Integer},
                 {"d", FieldKind::Date},
                 {"ts", FieldKind::DateTime},
                 {"b", FieldKind::Boolean},
                 {"doubled", FieldKind::Double},
                 {"next_day", FieldKind::Date}});
    q.paramByName("pamount").setText("6.25");
    q.paramByName("pdataawb").setDate(std::chrono::year{2024} / 2 / 29);
    q.open();
    QCOMPARE(q.column("amount").number(0), 12.5);
    QCOMPARE(q.column("f").number(0), 1234.5);
    QCOMPARE(q.column("tiny").number(0), 1e-7);
    QCOMPARE(q.column("i").integer(0), -3);
    QCOMPARE(q.column("d").date(0), 19797);
    QCOMPARE(q.column("ts").dateTime(0), int64_t{19797} * 86400000000LL + (14 * 3600 + 30 * 60) * 1000000LL + 250000);
    QVERIFY(q.column("b").boolean(0));
    QCOMPARE(q.column("doubled").number(0), 12.5);
    QCOMPARE(q.asString("next_day"), std::string("2024-03-01"));
    QCOMPARE(q.asString("amount"), std::string("12.5"));
    QCOMPARE(q.asString("f"), std::string("1234.5"));
    QCOMPARE(q.asString("tiny"), std::string("1e-07"));
    QCOMPARE(q.asString("ts"), std::string("2024-03-15 14:30:00.250000"));
}

void TestQuery::columnCheck_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("error");
    QTest::newRow("declared column missing")
        << "select data_awb, awb from wpv_log" << "dsCheck: Field 'suma' not found";
    QTest::newRow("first missing column is named")
        << "select 1 as x" << "dsCheck: Field 'data_awb' not found";
    QTest::newRow("other columns ignored, any order")
        << "select 'z' as extra, suma, awb, data_awb, now() as later from wpv_log" << "";
    QTest::newRow("names match without regard to case")
        << "select data_awb as \"DATA_AWB\", awb as \"Awb\", suma from wpv_log" << "";
    QTest::newRow("statement without a result set") << "do $$ begin end $$" << "dsCheck: Field 'data_awb' not found";
    QTest::newRow("kind checked by name, not position")
        << "select awb as data_awb, data_awb as awb, suma from wpv_log"
        << "dsCheck: Type mismatch for field 'data_awb', expecting: Date actual: LongText";
}

void TestQuery::columnCheck() {
    QFETCH(QString, sql);
    QFETCH(QString, error);
    db::Query q("dsCheck", *conn_, sql.toStdString(),
                {{"data_awb", FieldKind::Date}, {"awb", FieldKind::Text, 20}, {"suma", FieldKind::Double}});
    int opened = 0;
    q.addListener([&](db::Query::Event e) { opened += e == db::Query::Event::Opened ? 1 : 0; });
    QCOMPARE(QString::fromStdString(dbtest::errorOf([&] { q.open(); })), error);
    QCOMPARE(q.active(), error.isEmpty());
    QCOMPARE(opened, error.isEmpty() ? 1 : 0);
    if (error.isEmpty()) {
        QCOMPARE(q.recordCount(), size_t{4});
    } else {
        QCOMPARE(q.recordCount(), size_t{0});
        QCOMPARE(dbtest::errorOf([&] { q.asString("awb"); }), std::string("dsCheck: Query is not open"));
    }
}

void TestQuery::refreshRelocates_data() {
    QTest::addColumn<QString>("start");       // pDataIncep at the open
    QTest::addColumn<int>("currentBefore");
    QTest::addColumn<QString>("change");      // SQL run by the superuser before the refresh
    QTest::addColumn<QString>("startAfter");  // pDataIncep at the refresh
    QTest::addColumn<int>("currentAfter");
    QTest::addColumn<QString>("keyAfter");
    QTest::newRow("nothing changed") << "2024-01-01" << 2 << "" << "2024-01-01" << 2 << "2024-03-02/A";
    QTest::newRow("rows inserted before it")
        << "2024-01-01" << 2 << "insert into wpv_log values ('2024-02-28', 'Z', 1), ('2024-03-01', 'AA', 2)"
        << "2024-01-01" << 4 << "2024-03-02/A";
    QTest::newRow("rows deleted before it")
        << "2024-01-01" << 3 << "delete from wpv_log where data_awb < '2024-03-02'" << "2024-01-01" << 1
        << "2024-03-03/C";
    QTest::newRow("its values changed, key kept")
        << "2024-01-01" << 1 << "update wpv_log set suma = 99 where awb = 'B'" << "2024-01-01" << 1
        << "2024-03-01/B";
    QTest::newRow("current row deleted: first row")
        << "2024-01-01" << 3 << "delete from wpv_log where awb = 'C'" << "2024-01-01" << 0 << "2024-03-01/A";
    QTest::newRow("same AWB under another date is another row")
        << "2024-01-01" << 1 << "update wpv_log set data_awb = '2024-03-05' where awb = 'B'" << "2024-01-01" << 0
        << "2024-03-01/A";
    QTest::newRow("text key compared exactly")
        << "2024-01-01" << 2 << "update wpv_log set awb = 'a' where data_awb = '2024-03-02'" << "2024-01-01" << 0
        << "2024-03-01/A";
    QTest::newRow("narrower range keeps it") << "2024-01-01" << 3 << "" << "2024-03-02" << 1 << "2024-03-03/C";
    QTest::newRow("row left the range: first row") << "2024-01-01" << 1 << "" << "2024-03-02" << 0
                                                   << "2024-03-02/A";
    QTest::newRow("no rows left") << "2024-01-01" << 1 << "delete from wpv_log" << "2024-01-01" << -1 << "/";
}

void TestQuery::refreshRelocates() {
    QFETCH(QString, start);
    QFETCH(int, currentBefore);
    QFETCH(QString, change);
    QFETCH(QString, startAfter);
    QFETCH(int, currentAfter);
    QFETCH(QString, keyAfter);
    testdb::Connection su = company_->superuser();
    su.exec(kLogBase);
    db::Query q("dsLog", *conn_,
                "select * from wpv_log where data_awb between :pDataIncep and current_date order by data_awb, awb",
                {{"data_awb", FieldKind::Date}, {"awb", FieldKind::LongText}, {"suma", FieldKind::Double}},
                {"data_awb; awb;"});
    QCOMPARE(q.keyFields(), (std::vector<std::string>{"data_awb", "awb"}));
    auto setStart = [&](const QString& iso) {
        const QDate d = QDate::fromString(iso, Qt::ISODate);
        q.paramByName("pDataIncep")
            .setDate(std::chrono::year{d.year()} / std::chrono::month{static_cast<unsigned>(d.month())} /
                     std::chrono::day{static_cast<unsigned>(d.day())});
    };
    setStart(start);
    q.open();
    q.setRecNo(currentBefore);
    QCOMPARE(q.recNo(), long(currentBefore));
    if (!change.isEmpty()) su.exec(change.toStdString());
    setStart(startAfter);
    std::vector<db::Query::Event> events;
    q.addListener([&](db::Query::Event e) { events.push_back(e); });
    q.refresh();
    QVERIFY(q.active());
    QCOMPARE(q.recNo(), long(currentAfter));
    QCOMPARE(QString::fromStdString(keyOf(q)), keyAfter);
    QCOMPARE(events, std::vector<db::Query::Event>{db::Query::Event::Refreshed});
    su.exec(kLogBase);
}

void TestQuery::failedRefreshKeepsRows() {
    db::Query q("dsLog", *conn_, "select * from wpv_log where data_awb >= :pDataIncep order by data_awb, awb",
                {{"data_awb", FieldKind::Date}, {"awb", FieldKind::LongText}, {"suma", FieldKind::Double}},
                {"data_awb", "awb"});
    q.paramByName("pDataIncep").setDate(std::chrono::year{2024} / 3 / 2);
    q.open();
    q.setRecNo(1);
    int refreshed = 0;
    q.addListener([&](db::Query::Event) { ++refreshed; });
    q.paramByName("pDataIncep").setText("not a date");
    db::Error failure("none");
    try {
        q.refresh();
    } catch (const db::Error& e) {
        failure = e;
    }
    QCOMPARE(std::string(failure.what()), std::string("invalid input syntax for type date: \"not a date\""));
    QCOMPARE(failure.sqlstate(), std::string("22007"));
    QVERIFY(q.active());
    QCOMPARE(q.recordCount(), size_t{2});
    QCOMPARE(q.recNo(), 1L);
    QCOMPARE(keyOf(q), std::string("2024-03-03/C"));
    QCOMPARE(refreshed, 0);

    db::Query closed("dsClosed", *conn_, "select 1 as n", {{"n", FieldKind::Integer}});
    QCOMPARE(dbtest::errorOf([&] { closed.refresh(); }), std::string("dsClosed: Query is not open"));
    QCOMPARE(dbtest::errorOf([&] {
                 db::Query bad("dsBadKey", *conn_, "select 1 as n", {{"n", FieldKind::Integer}}, {"n; awb"});
             }),
             std::string("dsBadKey: Field 'awb' not found"));
}

void TestQuery::currentRecord() {
    db::Query q("dsNav", *conn_, "select g as n from generate_series(1, :pN) g order by g",
                {{"n", FieldKind::Integer}});
    QCOMPARE(q.recNo(), -1L);
    QCOMPARE(dbtest::errorOf([&] { q.isNull("n"); }), std::string("dsNav: Query is not open"));
    q.paramByName("pN").setText("3");
    q.open();
    QCOMPARE(q.recNo(), 0L);
    QVERIFY(!q.eof());
    q.next();
    q.next();
    QCOMPARE(q.asString("N"), std::string("3"));
    QVERIFY(q.eof());
    q.next();
    QCOMPARE(q.recNo(), 2L);
    q.setRecNo(-5);
    QCOMPARE(q.recNo(), 0L);
    q.setRecNo(99);
    QCOMPARE(q.recNo(), 2L);
    q.first();
    QCOMPARE(q.asString("n"), std::string("1"));
    QCOMPARE(dbtest::errorOf([&] { q.asString("nope"); }), std::string("dsNav: Field 'nope' not found"));
    QCOMPARE(q.fieldIndex("N"), 0);
    QCOMPARE(q.fieldIndex("nope"), -1);
    // Opening an open query changes nothing.
    q.setRecNo(1);
    q.open();
    QCOMPARE(q.recNo(), 1L);

    // An open query without rows reads every field as NULL.
    q.close();
    q.paramByName("pN").setText("0");
    q.open();
    QVERIFY(q.active());
    QVERIFY(q.isEmpty());
    QCOMPARE(q.recNo(), -1L);
    QVERIFY(q.eof());
    QVERIFY(q.isNull("n"));
    QCOMPARE(q.asString("n"), std::string());
}

void TestQuery::listeners() {
    db::Query q("dsEvents", *conn_, "select g as n from generate_series(1, 3) g", {{"n", FieldKind::Integer}});
    using E = db::Query::Event;
    std::vector<E> seen;
    std::vector<E> seenBySelfRemover;
    const int id = q.addListener([&](E e) { seen.push_back(e); });
    int selfId = 0;
    selfId = q.addListener([&](E e) {
        seenBySelfRemover.push_back(e);
        q.removeListener(selfId);
    });
    q.open();
    q.setRecNo(0);   // already current: nothing to tell
    q.next();
    q.setRecNo(2);
    q.refresh();
    q.close();
    q.close();       // already closed: nothing to tell
    QCOMPARE(seen, (std::vector<E>{E::Opened, E::CurrentChanged, E::CurrentChanged, E::Refreshed, E::Closed}));
    QCOMPARE(seenBySelfRemover, std::vector<E>{E::Opened});
    q.removeListener(id);
    q.open();
    QCOMPARE(seen.size(), size_t{5});
}

void TestQuery::parameters_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("bindName");
    QTest::addColumn<QString>("value");   // "<null>" binds NULL, "<date>" 2024-03-15 as a date
    QTest::addColumn<QString>("result");
    QTest::newRow("date parameter is sent as date")
        << "select pg_typeof(:pDataAwb)::text || ' ' || (:pDataAwb + 1)::text" << "pdataawb" << "<date>"
        << "date 2024-03-16";
    QTest::newRow("text parameter's type left to the server")
        << "select count(*) from generate_series(1, 5) g where g > :p" << "P" << "3" << "2";
    QTest::newRow("text parameter into a json argument")
        << "SELECT * FROM wpv_json_len(:pjsonincasramburs)" << "pJsonIncasRamburs"
        << "[{\"awb\": \"1\"}, {\"awb\": \"2\"}]" << "2";
    QTest::newRow("text parameter compared with a date column")
        << "select count(*) from wpv_log where data_awb = :pD" << "pd" << "2024-03-01" << "2";
    QTest::newRow("quotes and SQL in a value travel as data")
        << "select :p::text || '|' || (select count(*) from wpv_log)" << "p" << "x'); delete from wpv_log; --"
        << "x'); delete from wpv_log; --|4";
    QTest::newRow("Unicode text round trip") << "select :p::text" << "p" << "ăîșțâ ĂÎȘȚÂ € 日本" << "ăîșțâ ĂÎȘȚÂ € 日本";
    QTest::newRow("NULL parameter") << "select (:p::text is null)::text" << "p" << "<null>" << "true";
    QTest::newRow("same parameter twice, one binding") << "select :pA::text || :pa::text" << "PA" << "ab" << "abab";
    QTest::newRow("lower() of a text parameter")
        << "select lower(:pAplicatieMob)" << "paplicatiemob" << "wParvolen" << "wparvolen";
}

void TestQuery::parameters() {
    QFETCH(QString, sql);
    QFETCH(QString, bindName);
    QFETCH(QString, value);
    QFETCH(QString, result);
    db::StoredFunction f("fParams", *conn_, sql.toStdString());
    db::Param& p = f.paramByName(bindName.toStdString());
    if (value == "<null>")
        p.setNull();
    else if (value == "<date>")
        p.setDate(std::chrono::year{2024} / 3 / 15);
    else
        p.setText(value.toStdString());
    f.execute();
    QVERIFY(f.hasResult());
    QCOMPARE(f.resultRows(), size_t{1});
    QCOMPARE(QString::fromStdString(f.resultValue(0, 0)), result);
}

void TestQuery::serverErrors_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("sqlstate");
    QTest::addColumn<QString>("detail");
    QTest::addColumn<QString>("hint");
    QTest::newRow("RAISE EXCEPTION with detail and hint")
        << "select wpv_fail(:p) as v" << "Factura X1 nu exista" << "P0001" << "detaliu" << "indiciu";
    QTest::newRow("RAISE with its own SQLSTATE") << "select wpv_fail_coded() as v" << "AWB lipsa" << "WP001" << ""
                                                 << "";
    QTest::newRow("division by zero") << "select 1/0 as v" << "division by zero" << "22012" << "" << "";
    QTest::newRow("unknown column") << "select nope as v from wpv_log" << "column \"nope\" does not exist"
                                    << "42703" << "" << "";
    QTest::newRow("no right on the table") << "select x as v from wpv_secret"
                                           << "permission denied for table wpv_secret" << "42501" << "" << "";
    QTest::newRow("error after rows were sent")
        << "select 10 / (3 - g) as v from generate_series(1, 5) g" << "division by zero" << "22012" << "" << "";
}

void TestQuery::serverErrors() {
    QFETCH(QString, sql);
    QFETCH(QString, message);
    QFETCH(QString, sqlstate);
    QFETCH(QString, detail);
    QFETCH(QString, hint);
    auto check = [&](auto&& run) {
        try {
            run();
            QFAIL("no error");
        } catch (const db::Error& e) {
            QCOMPARE(QString::fromStdString(e.what()), message);
            QCOMPARE(QString::fromStdString(e.sqlstate()), sqlstate);
            QCOMPARE(QString::fromStdString(e.detail()), detail);
            QCOMPARE(QString::fromStdString(e.hint()), hint);
        }
    };
    db::Query q("dsErr", *conn_, sql.toStdString(), {{"v", FieldKind::Integer}});
    if (q.params().size() > 0) q.paramByName("p").setText("X1");
    check([&] { q.open(); });
    QVERIFY(!q.active());
    db::StoredFunction f("fErr", *conn_, sql.toStdString());
    if (f.params().size() > 0) f.paramByName("P").setText("X1");
    check([&] { f.execute(); });
    QVERIFY(!f.hasResult());
    // The connection serves the next statement.
    db::StoredFunction ok("fOk", *conn_, "select 1");
    ok.execute();
    QCOMPARE(ok.resultValue(0, 0), std::string("1"));
}

// A failure of ours while a long result is still arriving: the open fails
// with it, and the same session serves the next statements, none of them hit
// by the request that stopped the long one.
void TestQuery::failureWhileRowsArrive_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("error");
    QTest::newRow("type mismatch at the first row")
        << "select g::text as big from generate_series(1, 3000000) g"
        << "dsLong: Type mismatch for field 'big', expecting: Integer actual: LongText";
    QTest::newRow("value out of range in the third row")
        << "select case when g = 3 then 3000000000 else g end::int8 as big from generate_series(1, 3000000) g"
        << "dsLong: Invalid value '3000000000' for field 'big'";
}

void TestQuery::failureWhileRowsArrive() {
    QFETCH(QString, sql);
    QFETCH(QString, error);
    db::Connection c("conVekMob");
    dbtest::configure(c, company_->name());
    db::StoredFunction pid("pid", c, "select pg_backend_pid()");
    pid.execute();
    const std::string before = pid.resultValue(0, 0);
    for (int round = 0; round < 3; ++round) {
        db::Query q("dsLong", c, sql.toStdString(), {{"big", FieldKind::Integer}});
        QCOMPARE(QString::fromStdString(dbtest::errorOf([&] { q.open(); })), error);
        db::StoredFunction next("next", c, "select pg_sleep(0.1), 'ready'");
        QCOMPARE(dbtest::errorOf([&] { next.execute(); }), std::string());
        QCOMPARE(next.resultValue(0, 1), std::string("ready"));
    }
    pid.execute();
    QCOMPARE(pid.resultValue(0, 0), before);
    QCOMPARE(c.connectCount(), 1L);
}

void TestQuery::storedFunctionResult() {
    db::StoredFunction f("o_test", *conn_, "SELECT * FROM generate_series(1, :pN) g, lpad('', g, 'x') t");
    QVERIFY(!f.hasResult());
    QCOMPARE(f.resultRows(), size_t{0});
    f.paramByName("pn").setText("3");
    f.execute();
    QVERIFY(f.hasResult());
    QCOMPARE(f.resultRows(), size_t{3});
    QCOMPARE(f.resultColumns(), size_t{2});
    QCOMPARE(f.resultValue(2, 1), std::string("xxx"));
    QCOMPARE(dbtest::errorOf([&] { f.resultValue(3, 0); }), std::string("o_test: No result value at row 3, column 0"));
    f.paramByName("pn").setText("1");
    f.execute();
    QCOMPARE(f.resultRows(), size_t{1});
    // A failing execution leaves no result behind, not even the previous one.
    f.paramByName("pn").setText("x");
    QVERIFY(!dbtest::errorOf([&] { f.execute(); }).empty());
    QVERIFY(!f.hasResult());
    f.paramByName("pn").setText("1");
    f.execute();
    f.closeResult();
    QVERIFY(!f.hasResult());
}

void TestQuery::memoryIsCompact() {
    // 10,000 rows of a ten-character text, a date and a double.
    db::Query q("dsMem", *conn_,
                "select lpad(g::text, 10, '0') as t, date '2024-01-01' + g % 300 as d, g * 0.5 as x,"
                " case when g % 2 = 0 then null else 'y' end as half"
                " from generate_series(1, 10000) g order by g",
                {{"t", FieldKind::Text}, {"d", FieldKind::Date}, {"x", FieldKind::Double},
                 {"half", FieldKind::LongText}});
    q.open();
    QCOMPARE(q.recordCount(), size_t{10000});
    q.setRecNo(9998);
    QCOMPARE(q.asString("t"), std::string("0000009999"));
    QCOMPARE(q.asString("x"), std::string("4999.5"));
    QCOMPARE(q.asString("half"), std::string("y"));
    q.next();
    QVERIFY(q.isNull("half"));
    // Text: the characters plus a 4-byte offset per row; a date 4 bytes; a
    // double 8; NULL flags a bit per row; growth slack given back.
    const size_t text = q.column("t").memoryBytes();
    QVERIFY2(text >= 100000 && text <= 100000 + 4 * 10001 + 10000 / 8 + 4096, std::to_string(text).c_str());
    const size_t date = q.column("d").memoryBytes();
    QVERIFY2(date >= 40000 && date <= 40000 + 10000 / 8 + 4096, std::to_string(date).c_str());
    QCOMPARE(q.memoryBytes(), text + date + q.column("x").memoryBytes() + q.column("half").memoryBytes());
}

QTEST_GUILESS_MAIN(TestQuery)
#include "tst_db_query.moc"
