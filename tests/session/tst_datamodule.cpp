// The data module as designed: connection settings, the login queries' SQL
// and declared columns (checked against the reference company database), the
// grid style sheet and the empty session state.
#include "login_fixture.h"
#include "site.h"
#include "u_dmCon.h"

#include <QtTest>

#include <map>

Q_DECLARE_METATYPE(db::FieldKind)
Q_DECLARE_METATYPE(db::SslMode)

namespace {

db::Query& queryByName(TdmCon& dm, const QString& name) {
    if (name == QLatin1String("dsEmitent")) return dm.dsEmitent;
    if (name == QLatin1String("dsAplicatieMob")) return dm.dsAplicatieMob;
    if (name == QLatin1String("dsAplicatieMobEmitent")) return dm.dsAplicatieMobEmitent;
    return dm.dsEu;
}

const grid::Style* styleOf(const grid::StyleSheet& s, const QString& name) {
    const std::map<QString, const std::optional<grid::Style>*> all{
        {"Background", &s.background}, {"Content", &s.content},     {"ContentEven", &s.contentEven},
        {"ContentOdd", &s.contentOdd}, {"FilterBox", &s.filterBox}, {"IncSearch", &s.incSearch},
        {"Footer", &s.footer},         {"Group", &s.group},         {"GroupByBox", &s.groupByBox},
        {"Header", &s.header},         {"Inactive", &s.inactive},   {"Indicator", &s.indicator},
        {"Preview", &s.preview},       {"Selection", &s.selection}};
    const auto* slot = all.at(name);
    return slot->has_value() ? &**slot : nullptr;
}

}  // namespace

class TestDataModule : public QObject {
    Q_OBJECT

private slots:
    void connections_data();
    void connections();
    void queries_data();
    void queries();
    void columns_data();
    void columns();
    void columnsMatchReferenceDatabase();
    void styleSheet_data();
    void styleSheet();
    void sessionStateEmptyAndNothingConnected();
};

void TestDataModule::connections_data() {
    QTest::addColumn<QString>("connection");
    QTest::addColumn<QString>("server");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("database");
    QTest::addColumn<bool>("disconnected");
    QTest::addColumn<db::SslMode>("ssl");
    QTest::newRow("conVek") << "conVek" << "" << 5432 << "vek1" << true << db::SslMode::Require;
    QTest::newRow("conVekMob") << "conVekMob" << QString::fromStdString(site::directoryHost())
                               << site::directoryPort() << "vek_mob" << false << db::SslMode::Require;
}

void TestDataModule::connections() {
    QFETCH(QString, connection);
    QFETCH(QString, server);
    QFETCH(int, port);
    QFETCH(QString, database);
    QFETCH(bool, disconnected);
    QFETCH(db::SslMode, ssl);
    TdmCon dm;
    db::Connection& c = connection == QLatin1String("conVek") ? dm.conVek : dm.conVekMob;
    QCOMPARE(QString::fromStdString(c.name()), connection);
    QCOMPARE(QString::fromStdString(c.server()), server);
    QCOMPARE(c.port(), port);
    QCOMPARE(QString::fromStdString(c.database()), database);
    QCOMPARE(c.username(), std::string("vek"));
    QCOMPARE(c.disconnectedMode(), disconnected);
    QCOMPARE(c.sslMode(), ssl);
    QCOMPARE(c.connectTimeout(), 15);
}

void TestDataModule::queries_data() {
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QStringList>("params");
    QTest::addColumn<QList<int>>("kindCounts");  // Text, LongText, Boolean, Integer, Double, Date, DateTime
    QTest::newRow("dsEmitent") << "dsEmitent"
                               << "select *\nfrom emitent\nwhere emitent = :pEmitent\n  and operator_parola = :pP\n;"
                               << QStringList{"pEmitent", "pP"} << QList<int>{32, 0, 26, 2, 1, 2, 2};
    QTest::newRow("dsAplicatieMob")
        << "dsAplicatieMob"
        << "select *\nfrom aplicatie_mob\nwhere lower(aplicatie_mob) = lower(:pAplicatieMob)\n  and activ\n;"
        << QStringList{"pAplicatieMob"} << QList<int>{1, 1, 1, 0, 0, 0, 0};
    QTest::newRow("dsAplicatieMobEmitent")
        << "dsAplicatieMobEmitent"
        << "select *\nfrom aplicatie_mob_emitent\nwhere emitent = :pEmitent\n"
           "  and lower(aplicatie_mob) = lower(:pAplicatieMob)\n;"
        << QStringList{"pEmitent", "pAplicatieMob"} << QList<int>{2, 1, 0, 0, 0, 0, 0};
    QTest::newRow("dsEu") << "dsEu" << "select *\nfrom eu\n;" << QStringList{} << QList<int>{51, 2, 41, 3, 13, 7, 0};
}

void TestDataModule::queries() {
    QFETCH(QString, query);
    QFETCH(QString, sql);
    QFETCH(QStringList, params);
    QFETCH(QList<int>, kindCounts);
    TdmCon dm;
    db::Query& q = queryByName(dm, query);
    QCOMPARE(QString::fromStdString(q.name()), query);
    QCOMPARE(&q.connection(), &dm.conVek);
    QCOMPARE(QString::fromStdString(q.sql()), sql);
    QStringList names;
    for (size_t i = 0; i < q.params().size(); ++i) names << QString::fromStdString(q.params()[i].name());
    QCOMPARE(names, params);

    QList<int> counts(7, 0);
    QSet<QString> seen;
    for (const db::FieldDef& f : q.fields()) {
        ++counts[static_cast<int>(f.kind)];
        QVERIFY2(!seen.contains(QString::fromStdString(f.name)), f.name.c_str());
        seen.insert(QString::fromStdString(f.name));
        QCOMPARE(f.kind == db::FieldKind::Text, f.width > 0);
    }
    QCOMPARE(counts, kindCounts);
}

void TestDataModule::columns_data() {
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("column");
    QTest::addColumn<db::FieldKind>("kind");
    QTest::addColumn<int>("width");
    QTest::newRow("emitent") << "dsEmitent" << "emitent" << db::FieldKind::Text << 100;
    QTest::newRow("operator_parola") << "dsEmitent" << "operator_parola" << db::FieldKind::Text << 256;
    QTest::newRow("eu_punct_lucru") << "dsEmitent" << "eu_punct_lucru" << db::FieldKind::Text << 50;
    QTest::newRow("ci_serie") << "dsEmitent" << "ci_serie" << db::FieldKind::Text << 3;
    QTest::newRow("web_theme") << "dsEmitent" << "web_theme" << db::FieldKind::Text << 25;
    QTest::newRow("da_nu_generare_op") << "dsEmitent" << "da_nu_generare_op" << db::FieldKind::Boolean << 0;
    QTest::newRow("em_outgoing_email_port") << "dsEmitent" << "em_outgoing_email_port" << db::FieldKind::Integer << 0;
    QTest::newRow("proc_comisionar") << "dsEmitent" << "proc_comisionar" << db::FieldKind::Double << 0;
    QTest::newRow("data_ins") << "dsEmitent" << "data_ins" << db::FieldKind::Date << 0;
    QTest::newRow("data_import") << "dsEmitent" << "data_import" << db::FieldKind::DateTime << 0;
    QTest::newRow("aplicatie_mob") << "dsAplicatieMob" << "aplicatie_mob" << db::FieldKind::Text << 100;
    QTest::newRow("obs") << "dsAplicatieMob" << "obs" << db::FieldKind::LongText << 0;
    QTest::newRow("activ") << "dsAplicatieMob" << "activ" << db::FieldKind::Boolean << 0;
    QTest::newRow("rol") << "dsAplicatieMobEmitent" << "rol" << db::FieldKind::LongText << 0;
    QTest::newRow("jas_ip") << "dsEu" << "jas_ip" << db::FieldKind::LongText << 0;
    QTest::newRow("sector") << "dsEu" << "sector" << db::FieldKind::Text << 1;
    QTest::newRow("reges_cod_forma_organizare") << "dsEu" << "reges_cod_forma_organizare" << db::FieldKind::Text << 70;
    QTest::newRow("cod_siruta") << "dsEu" << "cod_siruta" << db::FieldKind::Double << 0;
    QTest::newRow("rotunjire_lichidare") << "dsEu" << "rotunjire_lichidare" << db::FieldKind::Integer << 0;
    QTest::newRow("data_lichidare") << "dsEu" << "data_lichidare" << db::FieldKind::Date << 0;
    QTest::newRow("da_nu_tva_nededus_cont_separat")
        << "dsEu" << "da_nu_tva_nededus_cont_separat" << db::FieldKind::Boolean << 0;
}

void TestDataModule::columns() {
    QFETCH(QString, query);
    QFETCH(QString, column);
    QFETCH(db::FieldKind, kind);
    QFETCH(int, width);
    TdmCon dm;
    db::Query& q = queryByName(dm, query);
    const int i = q.fieldIndex(column.toStdString());
    QVERIFY(i >= 0);
    QCOMPARE(q.fields()[static_cast<size_t>(i)].kind, kind);
    QCOMPARE(q.fields()[static_cast<size_t>(i)].width, width);
}

void TestDataModule::columnsMatchReferenceDatabase() {
    // Every declared column exists in the reference company database with a
    // compatible type: the four queries open there.
    fixture::Company company("dm_columns");
    company.addUser("ana", "x", false);
    TdmCon dm;
    dm.conVek.setServer(testdb::env().host);
    dm.conVek.setPort(testdb::env().port);
    dm.conVek.setDatabase(company.database());
    dm.dsEmitent.paramByName("pEmitent").setText("ana");
    dm.dsEmitent.paramByName("pP").setText("x");
    dm.dsAplicatieMob.paramByName("pAplicatieMob").setText(fixture::title());
    dm.dsAplicatieMobEmitent.paramByName("pEmitent").setText("ana");
    dm.dsAplicatieMobEmitent.paramByName("pAplicatieMob").setText(fixture::title());
    for (db::Query* q : {&dm.dsEmitent, &dm.dsAplicatieMob, &dm.dsAplicatieMobEmitent, &dm.dsEu}) {
        try {
            q->open();
        } catch (const std::exception& e) {
            QFAIL(e.what());
        }
        QCOMPARE(q->recordCount(), size_t{1});
    }
    // Disconnected mode: no statement holds the server, so it is released.
    QVERIFY(!dm.conVek.connected());
}

void TestDataModule::styleSheet_data() {
    QTest::addColumn<QString>("element");
    QTest::addColumn<QString>("style");
    QTest::addColumn<QString>("background");
    QTest::addColumn<QString>("text");   // "" when the style sets none
    QTest::addColumn<bool>("hasFont");
    QTest::addColumn<bool>("bold");
    QTest::newRow("Background") << "Background" << "cxStyle1" << "#fffbf0" << "" << false << false;
    QTest::newRow("Content") << "Content" << "cxStyle2" << "#d9eaf7" << "#000000" << true << false;
    QTest::newRow("ContentEven") << "ContentEven" << "cxStyle3" << "#d9eaf7" << "#000000" << false << false;
    QTest::newRow("ContentOdd") << "ContentOdd" << "cxStyle4" << "#eaf3fb" << "#000000" << false << false;
    QTest::newRow("FilterBox") << "FilterBox" << "cxStyle5" << "#ffffe1" << "#000000" << false << false;
    QTest::newRow("IncSearch") << "IncSearch" << "cxStyle11" << "#fed547" << "#000000" << false << false;
    QTest::newRow("Footer") << "Footer" << "cxStyle6" << "#ffffe1" << "#000080" << true << true;
    QTest::newRow("Group") << "Group" << "cxStyle7" << "#f1efe2" << "" << false << false;
    QTest::newRow("GroupByBox") << "GroupByBox" << "cxStyle8" << "#fed547" << "#000000" << false << false;
    QTest::newRow("Header") << "Header" << "cxStyle9" << "#316ac5" << "#ffffff" << true << true;
    QTest::newRow("Inactive") << "Inactive" << "cxStyle10" << "#a4c4eb" << "" << false << false;
    QTest::newRow("Indicator") << "Indicator" << "cxStyle12" << "#a4c4eb" << "" << false << false;
    QTest::newRow("Preview") << "Preview" << "cxStyle13" << "#ffffe1" << "#000080" << true << true;
    QTest::newRow("Selection") << "Selection" << "cxStyle14" << "#316ac5" << "#ffffff" << false << false;
}

void TestDataModule::styleSheet() {
    QFETCH(QString, element);
    QFETCH(QString, style);
    QFETCH(QString, background);
    QFETCH(QString, text);
    QFETCH(bool, hasFont);
    QFETCH(bool, bold);
    TdmCon dm;
    const grid::StyleSheet& sheet = dm.cxStyleRepository1.GridTableViewStyleSheetDevExpress;
    QCOMPARE(sheet.name, QStringLiteral("GridTableViewStyleSheetDevExpress"));
    QCOMPARE(sheet.caption, QStringLiteral("DevExpress"));
    const grid::Style* s = styleOf(sheet, element);
    QVERIFY(s != nullptr);
    QCOMPARE(s->name, style);
    QVERIFY(s->background.has_value());
    QCOMPARE(s->background->name(), background);
    QCOMPARE(s->textColor.has_value(), !text.isEmpty());
    if (s->textColor) QCOMPARE(s->textColor->name(), text);
    QCOMPARE(s->font.has_value(), hasFont);
    if (s->font) {
        QCOMPARE(s->font->family(), QStringLiteral("MS Sans Serif"));
        QCOMPARE(s->font->pixelSize(), 11);
        QCOMPARE(s->font->bold(), bold);
    }
}

void TestDataModule::sessionStateEmptyAndNothingConnected() {
    TdmCon dm;
    for (const QString* f : {&dm.glNumeFirma, &dm.glUser, &dm.glUserPass, &dm.glDataBase, &dm.glUserRol, &dm.glEuPL,
                             &dm.glJasIP, &dm.glJasProtocol})
        QVERIFY(f->isEmpty());
    QVERIFY(!dm.conVek.connected());
    QVERIFY(!dm.conVekMob.connected());
    QCOMPARE(dm.conVekMob.connectCount(), 0L);
    for (db::Query* q : {&dm.dsEmitent, &dm.dsAplicatieMob, &dm.dsAplicatieMobEmitent, &dm.dsEu}) QVERIFY(!q->active());
}

QTEST_MAIN(TestDataModule)
#include "tst_datamodule.moc"
