// Shared pieces of the collection-function tests: a company database with two
// users and a few invoices, upload objects written as the program writes them,
// and the calls as the account vek makes them.
#pragma once

#include <QString>
#include <QTest>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include <libpq-fe.h>

#include "testdb.h"

namespace dbf {

// One upload object: the twelve members, every value a JSON string.
struct Collection {
    std::string awb = "1ONBLN100000001";
    std::string numeDestinatar = "POPESCU ION";
    std::string judetDestinatar = "CLUJ";
    std::string orasDestinatar = "Cluj-Napoca";
    std::string adresaDestinatar = "Str. Horea nr. 12";
    std::string adresaRidicare = "Str. Fabricii nr. 10";
    std::string referintaClient = "FCL1";
    std::string sumaRamburs = "100,50";
    std::string dataAwb = "15.03.2024";
    std::string dataColectareRamburs = "17.03.2024";
    std::string numarColeteLivrate = "1";
    std::string numeFisier = "Sameday martie.xlsx";
};

inline std::string jsonString(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default: out.push_back(c);
        }
    }
    return out + "\"";
}

inline std::string toJson(const Collection& c) {
    const std::pair<const char*, const std::string*> members[] = {
        {"awb", &c.awb},
        {"numeDestinatar", &c.numeDestinatar},
        {"judetDestinatar", &c.judetDestinatar},
        {"orasDestinatar", &c.orasDestinatar},
        {"adresaDestinatar", &c.adresaDestinatar},
        {"adresaRidicare", &c.adresaRidicare},
        {"referintaClient", &c.referintaClient},
        {"sumaRamburs", &c.sumaRamburs},
        {"dataAwb", &c.dataAwb},
        {"dataColectareRamburs", &c.dataColectareRamburs},
        {"numarColeteLivrate", &c.numarColeteLivrate},
        {"numeFisier", &c.numeFisier},
    };
    std::string out = "{";
    for (const auto& [name, value] : members) {
        if (out.size() > 1) out += ",";
        out += jsonString(name) + ":" + jsonString(*value);
    }
    return out + "}";
}

inline std::string toJson(const std::vector<Collection>& cs) {
    std::string out = "[";
    for (const auto& c : cs) {
        if (out.size() > 1) out += ",";
        out += toJson(c);
    }
    return out + "]";
}

inline QString q(const testdb::Value& v) {
    return v ? QString::fromStdString(*v) : QString();
}

// A null QString stands for SQL NULL in the data tables.
inline testdb::Value v(const QString& s) {
    if (s.isNull()) return std::nullopt;
    return s.toStdString();
}

// A company database cloned from the template, with the users ana and dan
// and client invoices FCL1 (partner ALFA SRL) and FCL2 (BETA SRL), both of
// 2024-03-10, plus an older FCL1 of 2023-12-01 (partner VECHI SRL).
class Company {
public:
    explicit Company(std::string_view prefix) : db_(prefix), su_(db_.superuser()), vek_(db_.vek()) {
        su_.exec("insert into emitent (emitent, operator_parola) values ('ana', 'x'), ('dan', 'y')");
        addInvoices();
    }

    void addInvoices() {
        su_.exec("insert into doc (data_doc, tip_doc, nr_doc, val_mon, partener) values "
                 "('2024-03-10', 'Fact_CL', 'FCL1', 100.50, 'ALFA SRL'), "
                 "('2024-03-10', 'Fact_CL', 'FCL2', 200, 'BETA SRL'), "
                 "('2023-12-01', 'Fact_CL', 'FCL1', 10, 'VECHI SRL')");
    }

    // Empties the log and the documents, then adds the invoices again.
    void reset() {
        su_.exec("truncate log_sameday_incasari, doc_fin, doc");
        addInvoices();
    }

    // select * from o_sameday_log_ins($1) as vek, the parameter's type left to
    // the server; returns the function's result.
    std::string logReport(const std::string& json) {
        return vek_.scalar("select * from o_sameday_log_ins($1)", {json}).value_or("<null>");
    }

    // select * from o_generare_incasare_awb_sameday($1, $2, $3) as vek.
    testdb::Rows post(const testdb::Value& user, const testdb::Value& awb, const testdb::Value& date) {
        return vek_.exec("select * from o_generare_incasare_awb_sameday($1, $2, $3)", {user, awb, date});
    }

    long count(const std::string& table, const std::string& where = "true") {
        return std::stol(*su_.scalar("select count(*) from " + table + " where " + where));
    }

    testdb::CompanyDatabase& db() { return db_; }
    testdb::Connection& su() { return su_; }
    testdb::Connection& vek() { return vek_; }

private:
    testdb::CompanyDatabase db_;
    testdb::Connection su_;
    testdb::Connection vek_;
};

}  // namespace dbf
