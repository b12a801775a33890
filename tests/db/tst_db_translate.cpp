// Named parameters turned into libpq's $n, the parameter list, and the ISO
// date and time texts the rows arrive in. No server needed.
#include "qtest_support.h"

#include "db_internal.h"

class TestTranslate : public QObject {
    Q_OBJECT

private slots:
    void translate_data();
    void translate();
    void paramsByName();
    void paramValues_data();
    void paramValues();
    void parseDate_data();
    void parseDate();
    void parseDateTime_data();
    void parseDateTime();
};

void TestTranslate::translate_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QStringList>("names");

    QTest::newRow("one parameter") << "select :a" << "select $1" << QStringList{"a"};
    QTest::newRow("no parameter") << "select 1" << "select 1" << QStringList{};
    QTest::newRow("order of first use")
        << "select :b, :a, :b" << "select $1, $2, $1" << QStringList{"b", "a"};
    QTest::newRow("case-insensitive, first spelling kept")
        << "where x = :pA and y = :pa or z = :PA" << "where x = $1 and y = $1 or z = $1" << QStringList{"pA"};
    QTest::newRow("p1 and p10 differ")
        << "values (:p1, :p10, :p1, :p100)" << "values ($1, $2, $1, $3)" << QStringList{"p1", "p10", "p100"};
    QTest::newRow("cast after a parameter") << "select :d::date" << "select $1::date" << QStringList{"d"};
    QTest::newRow("cast alone") << "select x::text, y :: int" << "select x::text, y :: int" << QStringList{};
    QTest::newRow("underscore and digits") << "f(:p_data_1)" << "f($1)" << QStringList{"p_data_1"};
    QTest::newRow("parameter at the very end") << "where a = :p" << "where a = $1" << QStringList{"p"};
    QTest::newRow("colon before a digit (array slice)") << "select a[1:2], :p" << "select a[1:2], $1"
                                                         << QStringList{"p"};
    QTest::newRow("colon before other characters") << "select ':' || :p, x := 1" << "select ':' || $1, x := 1"
                                                    << QStringList{"p"};
    QTest::newRow("string literal") << "select ':a', :b" << "select ':a', $1" << QStringList{"b"};
    QTest::newRow("doubled quote inside a string")
        << "select 'it''s :a', :b" << "select 'it''s :a', $1" << QStringList{"b"};
    QTest::newRow("backslash does not escape in a plain string")
        << "select '\\', :a" << "select '\\', $1" << QStringList{"a"};
    QTest::newRow("E string: backslash escapes the quote")
        << "select E'\\' :a', :b" << "select E'\\' :a', $1" << QStringList{"b"};
    QTest::newRow("e string in lower case")
        << "select e'x\\\\', :a, e'\\':b'" << "select e'x\\\\', $1, e'\\':b'" << QStringList{"a"};
    QTest::newRow("identifier ending in e before a string is no E string")
        << "select somee'\\', :a" << "select somee'\\', $1" << QStringList{"a"};
    QTest::newRow("quoted identifier") << "select \"col:a\", :b" << "select \"col:a\", $1" << QStringList{"b"};
    QTest::newRow("doubled quote in an identifier")
        << "select \"x\"\":a\", :b" << "select \"x\"\":a\", $1" << QStringList{"b"};
    QTest::newRow("line comment") << "select 1 -- :a\n, :b" << "select 1 -- :a\n, $1" << QStringList{"b"};
    QTest::newRow("line comment to the end") << "select :b -- :a" << "select $1 -- :a" << QStringList{"b"};
    QTest::newRow("block comment") << "/* :a */ :b" << "/* :a */ $1" << QStringList{"b"};
    QTest::newRow("nested block comment")
        << "/* outer /* inner */ :a */ :b" << "/* outer /* inner */ :a */ $1" << QStringList{"b"};
    QTest::newRow("dollar-quoted body") << "select $$ :a ' $$, :b" << "select $$ :a ' $$, $1" << QStringList{"b"};
    QTest::newRow("tagged dollar quote with another tag inside")
        << "do $body$ begin x := :a; $x$ :c $x$; end $body$; select :b"
        << "do $body$ begin x := :a; $x$ :c $x$; end $body$; select $1" << QStringList{"b"};
    QTest::newRow("dollar inside an identifier opens nothing")
        << "select col$x$ , :p" << "select col$x$ , $1" << QStringList{"p"};
    QTest::newRow("positional parameter is no dollar quote")
        << "select $1, :p, '$1'" << "select $1, $1, '$1'" << QStringList{"p"};
    QTest::newRow("unterminated string") << "select ':a" << "select ':a" << QStringList{};
    QTest::newRow("unterminated comment") << "select /* :a" << "select /* :a" << QStringList{};
    QTest::newRow("multi-byte text around")
        << "select 'ăâ:x', :pNume" << "select 'ăâ:x', $1" << QStringList{"pNume"};
    QTest::newRow("posting call")
        << "SELECT * FROM o_generare_incasare_awb_sameday(:pemitent, :pawb, :pdataawb)"
        << "SELECT * FROM o_generare_incasare_awb_sameday($1, $2, $3)"
        << QStringList{"pemitent", "pawb", "pdataawb"};
    QTest::newRow("log query condition")
        << "where log_sameday_incasari.data_awb between :pDataIncep and current_date\norder by data_awb,\n"
           "         awb\n;"
        << "where log_sameday_incasari.data_awb between $1 and current_date\norder by data_awb,\n"
           "         awb\n;"
        << QStringList{"pDataIncep"};
}

void TestTranslate::translate() {
    QFETCH(QString, sql);
    QFETCH(QString, expected);
    QFETCH(QStringList, names);
    const db::TranslatedSql t = db::translateNamedParameters(sql.toStdString());
    QCOMPARE(QString::fromStdString(t.sql), expected);
    QStringList got;
    for (const auto& n : t.names) got << QString::fromStdString(n);
    QCOMPARE(got, names);
}

void TestTranslate::paramsByName() {
    db::Params params(db::translateNamedParameters("select :pEmitent, :pAwb, :pDataAwb").names);
    QCOMPARE(params.size(), size_t{3});
    params.byName("PEMITENT").setText("ana");
    params.byName("pawb").setText("1EMG");
    QCOMPARE(params[0].asText(), std::string("ana"));
    QCOMPARE(params[1].asText(), std::string("1EMG"));
    QVERIFY(params[2].isNull());
    QCOMPARE(params.find("pdataAWB"), &params[2]);
    QVERIFY(params.find("pData") == nullptr);
    QCOMPARE(dbtest::errorOf([&] { params.byName("pNope"); }), std::string("Parameter 'pNope' not found"));
    const db::Params& constParams = params;
    QCOMPARE(constParams.byName("PAWB").asText(), std::string("1EMG"));

    // A change of kind keeps the value bound so far.
    params.setKind("pawb", db::ParamKind::Date);
    QCOMPARE(params[1].kind(), db::ParamKind::Date);
    QCOMPARE(params[1].asText(), std::string("1EMG"));
    params[1].setNull();
    QVERIFY(params[1].isNull());
    QCOMPARE(params[1].asText(), std::string());
}

void TestTranslate::paramValues_data() {
    QTest::addColumn<int>("year");
    QTest::addColumn<int>("month");
    QTest::addColumn<int>("day");
    QTest::addColumn<QString>("text");
    QTest::newRow("ordinary date") << 2024 << 3 << 5 << "2024-03-05";
    QTest::newRow("leap day") << 2024 << 2 << 29 << "2024-02-29";
    QTest::newRow("year before 1000 keeps four digits") << 999 << 12 << 31 << "0999-12-31";
    QTest::newRow("epoch") << 1970 << 1 << 1 << "1970-01-01";
}

void TestTranslate::paramValues() {
    QFETCH(int, year);
    QFETCH(int, month);
    QFETCH(int, day);
    QFETCH(QString, text);
    db::Param p("pDataAwb", db::ParamKind::Text);
    p.setDate(std::chrono::year{year} / std::chrono::month{static_cast<unsigned>(month)} /
              std::chrono::day{static_cast<unsigned>(day)});
    QCOMPARE(p.kind(), db::ParamKind::Date);
    QCOMPARE(QString::fromStdString(p.asText()), text);
}

void TestTranslate::parseDate_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("days");
    QTest::addColumn<QString>("canonical");
    QTest::newRow("epoch") << "1970-01-01" << true << 0 << "1970-01-01";
    QTest::newRow("day before the epoch") << "1969-12-31" << true << -1 << "1969-12-31";
    QTest::newRow("leap day 2024") << "2024-02-29" << true << 19782 << "2024-02-29";
    QTest::newRow("year 2000 is leap") << "2000-03-01" << true << 11017 << "2000-03-01";
    QTest::newRow("first BC year") << "0001-01-01 BC" << true << -719528 << "0000-01-01";
    QTest::newRow("five-digit year") << "10000-01-01" << true << 2932897 << "10000-01-01";
    QTest::newRow("infinity") << "infinity" << true << int(db::Column::kDateInfinity) << "infinity";
    QTest::newRow("minus infinity") << "-infinity" << true << int(db::Column::kDateMinusInfinity) << "-infinity";
    QTest::newRow("day first is refused") << "15.03.2024" << false << 0 << "";
    QTest::newRow("month 13 is refused") << "2024-13-01" << false << 0 << "";
    QTest::newRow("trailing text is refused") << "2024-03-15x" << false << 0 << "";
    QTest::newRow("empty is refused") << "" << false << 0 << "";
}

void TestTranslate::parseDate() {
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(int, days);
    QFETCH(QString, canonical);
    int32_t got = 12345;
    QCOMPARE(db::detail::parseDate(text.toStdString(), got), ok);
    if (!ok) return;
    QCOMPARE(got, days);
    QCOMPARE(QString::fromStdString(db::detail::formatDate(got)), canonical);
}

void TestTranslate::parseDateTime_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<qint64>("micros");
    QTest::addColumn<QString>("canonical");
    constexpr qint64 day = 86400LL * 1000000LL;
    QTest::newRow("epoch") << "1970-01-01 00:00:00" << true << qint64(0) << "1970-01-01 00:00:00";
    QTest::newRow("seconds") << "2024-03-15 14:30:05" << true << (19797 * day + (14 * 3600 + 30 * 60 + 5) * 1000000LL)
                             << "2024-03-15 14:30:05";
    QTest::newRow("microseconds") << "1970-01-01 00:00:01.000001" << true << qint64(1000001)
                                  << "1970-01-01 00:00:01.000001";
    QTest::newRow("short fraction is tenths") << "1970-01-01 00:00:00.5" << true << qint64(500000)
                                              << "1970-01-01 00:00:00.500000";
    QTest::newRow("before the epoch") << "1969-12-31 23:59:59" << true << qint64(-1000000)
                                      << "1969-12-31 23:59:59";
    QTest::newRow("offset in hours dropped") << "2024-03-15 14:30:00+02" << true
                                             << (19797 * day + (14 * 3600 + 30 * 60) * 1000000LL)
                                             << "2024-03-15 14:30:00";
    QTest::newRow("offset with minutes dropped") << "2024-03-15 17:30:00+05:30" << true
                                                 << (19797 * day + (17 * 3600 + 30 * 60) * 1000000LL)
                                                 << "2024-03-15 17:30:00";
    QTest::newRow("local mean time offset with seconds") << "1890-01-01 00:00:00+01:44:24" << true
                                                         << (-29219 * day) << "1890-01-01 00:00:00";
    QTest::newRow("negative offset and fraction") << "2024-03-15 01:02:03.25-03:30" << true
                                                  << (19797 * day + 3723250000LL) << "2024-03-15 01:02:03.250000";
    QTest::newRow("infinity") << "infinity" << true << qint64(db::Column::kDateTimeInfinity) << "infinity";
    QTest::newRow("date alone is refused") << "2024-03-15" << false << qint64(0) << "";
    QTest::newRow("missing seconds refused") << "2024-03-15 14:30" << false << qint64(0) << "";
    QTest::newRow("empty fraction refused") << "2024-03-15 14:30:00." << false << qint64(0) << "";
}

void TestTranslate::parseDateTime() {
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(qint64, micros);
    QFETCH(QString, canonical);
    int64_t got = 12345;
    QCOMPARE(db::detail::parseDateTime(text.toStdString(), got), ok);
    if (!ok) return;
    QCOMPARE(qint64(got), micros);
    QCOMPARE(QString::fromStdString(db::detail::formatDateTime(got)), canonical);
}

QTEST_GUILESS_MAIN(TestTranslate)
#include "tst_db_translate.moc"
