// The data module: the two database connections, the login's four queries on
// the company database, the grid style sheet of the collections grid and the
// session state. Created second at start, alive for the whole run; no
// connection is open when it is created.
#pragma once

#include "db.h"
#include "grid_style.h"

#include <QString>

// The style repository: fourteen styles and the grid table-view style sheet
// that assigns them to the grid's elements.
struct TcxStyleRepository {
    TcxStyleRepository();

    grid::Style cxStyle1;
    grid::Style cxStyle2;
    grid::Style cxStyle3;
    grid::Style cxStyle4;
    grid::Style cxStyle5;
    grid::Style cxStyle6;
    grid::Style cxStyle7;
    grid::Style cxStyle8;
    grid::Style cxStyle9;
    grid::Style cxStyle10;
    grid::Style cxStyle11;
    grid::Style cxStyle12;
    grid::Style cxStyle13;
    grid::Style cxStyle14;
    grid::StyleSheet GridTableViewStyleSheetDevExpress;
};

class TdmCon {
public:
    TdmCon();
    TdmCon(const TdmCon&) = delete;
    TdmCon& operator=(const TdmCon&) = delete;

    // The company's ERP database; the login points it at the directory's address.
    db::Connection conVek{"conVek"};
    // The central directory database.
    db::Connection conVekMob{"conVekMob"};

    // The login's checks, all on conVek.
    db::Query dsEmitent;
    db::Query dsAplicatieMob;
    db::Query dsEu;
    TcxStyleRepository cxStyleRepository1;
    db::Query dsAplicatieMobEmitent;

    // Session state: empty at start, filled by the login (glNumeFirma at every
    // attempt, the others once at the successful one), never cleared.
    QString glNumeFirma;    // company name as typed
    QString glUser;         // user name as typed (the emitent key)
    QString glUserPass;     // password as typed
    QString glDataBase;     // company database name from the directory
    QString glUserRol;      // aplicatie_mob_emitent.rol
    QString glEuPL;         // emitent.eu_punct_lucru
    QString glJasIP;        // eu.jas_ip
    QString glJasProtocol;  // "http" when glJasIP holds "8080", else "https"
};
