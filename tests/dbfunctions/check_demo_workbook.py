#!/usr/bin/python3
"""Checks the demo courier workbooks against what the take-over expects and
against the demo company database.

Usage: check_demo_workbook.py PATH/TO/make-demo-workbook.py
Needs the environment of scripts/with-test-db (WPV_TEST_PGSOCKET, WPV_TEST_PGPORT).

- the second sheet carries the eleven header cells, then one row per
  collection: dates as date cells with a date format within the last 30 days,
  amounts as numbers formatted #,##0.00;
- the first sheet is something else;
- the wrong-header workbook differs in cell I1 alone;
- the client references name invoices of vek_demo (but one web order);
- taken over as the program would (day.month.year, decimal comma) and posted,
  as the account vek inside a transaction that is rolled back, every row is
  logged, the row with the unreadable collection date carries its note, and
  every receipt but the web order's is allocated to its invoice.
"""
import datetime
import json
import os
import subprocess
import sys
import tempfile

from openpyxl import load_workbook

HEADER = ["AWB", "Nume destinatar", "Judet destinatar", "Oras destinatar",
          "Adresa destinatar", "Adresa ridicare", "Referinta client", "Suma ramburs",
          "Data", "Data colectare ramburs", "Numar colete livrate"]
MEMBERS = ["awb", "numeDestinatar", "judetDestinatar", "orasDestinatar", "adresaDestinatar",
           "adresaRidicare", "referintaClient", "sumaRamburs", "dataAwb",
           "dataColectareRamburs", "numarColeteLivrate"]
WEB_ORDER = "COMANDA WEB 5521"

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def psql(sql, **variables):
    sock = os.environ.get("WPV_TEST_PGSOCKET")
    port = os.environ.get("WPV_TEST_PGPORT")
    if not sock or not port:
        sys.exit("check_demo_workbook: WPV_TEST_PGSOCKET/WPV_TEST_PGPORT are not set; "
                 "run under scripts/with-test-db")
    cmd = ["psql", "-X", "-q", "-At", "-v", "ON_ERROR_STOP=1", "-h", sock, "-p", port,
           "-U", "postgres", "-d", "vek_demo"]
    for k, v in variables.items():
        cmd += ["-v", "%s=%s" % (k, v)]
    out = subprocess.run(cmd, input=sql, capture_output=True, text=True)
    if out.returncode != 0:
        sys.exit("check_demo_workbook: psql failed: " + out.stderr)
    return out.stdout.splitlines()


def cell_text(value):
    """The text the program sends under day.month.year and a decimal comma."""
    if isinstance(value, datetime.datetime):
        return value.strftime("%d.%m.%Y")
    if isinstance(value, (int, float)) and not isinstance(value, bool):
        return ("%.15g" % value).replace(".", ",")
    return str(value)


def main():
    maker = sys.argv[1]
    today = datetime.date.today()
    with tempfile.TemporaryDirectory() as out:
        subprocess.run(["/usr/bin/python3", maker, out], check=True, capture_output=True)
        good = load_workbook(os.path.join(out, "sameday-incasari-demo.xlsx"))
        bad = load_workbook(os.path.join(out, "sameday-incasari-antet-gresit.xlsx"))

    check(len(good.worksheets) == 2, "the workbook has two sheets")
    check(good.worksheets[0]["A1"].value != "AWB", "the first sheet is not the report")
    sheet = good.worksheets[1]
    rows = list(sheet.iter_rows())
    check([c.value for c in rows[0]] == HEADER, "header row: %r" % [c.value for c in rows[0]])
    data = rows[1:]
    check(len(data) >= 20, "about twenty collections, found %d" % len(data))
    for r in data:
        awb, amount, day, collected = r[0], r[7], r[8], r[9]
        check(isinstance(awb.value, str) and len(awb.value) >= 15, "AWB %r" % awb.value)
        check(isinstance(amount.value, (int, float)) and amount.number_format == "#,##0.00",
              "amount of %s: %r %r" % (awb.value, amount.value, amount.number_format))
        check(isinstance(day.value, datetime.datetime) and day.is_date
              and today - datetime.timedelta(days=30) <= day.value.date() <= today,
              "AWB date of %s: %r" % (awb.value, day.value))
        if isinstance(collected.value, datetime.datetime):
            check(day.value <= collected.value and collected.value.date() <= today,
                  "collection date of %s: %r" % (awb.value, collected.value))

    bad_rows = list(bad.worksheets[1].iter_rows(values_only=True))
    good_rows = [tuple(c.value for c in r) for r in rows]
    check(bad_rows[0][8] == "Data AWB", "the wrong header reads Data AWB in I1")
    check(bad_rows[0][:8] == good_rows[0][:8] and bad_rows[0][9:] == good_rows[0][9:],
          "the wrong header differs in I1 alone")
    check(bad_rows[1:] == good_rows[1:], "the wrong-header workbook holds the same collections")

    invoices = set(psql("select nr_doc from doc where tip_doc = 'Fact_CL';"))
    refs = [r[6].value for r in data]
    for ref in refs:
        check(ref == WEB_ORDER or ref in invoices, "reference %r names no demo invoice" % ref)
    check(WEB_ORDER in refs, "one collection is a web order without invoice")

    report = [dict(zip(MEMBERS, (cell_text(c.value) for c in r[:11])),
                   numeFisier="sameday-incasari-demo.xlsx") for r in data]
    text = json.dumps(report, ensure_ascii=False, separators=(",", ":"))
    result = psql("""
begin;
set role vek;
select * from o_sameday_log_ins(:'report');
select count(*) from log_sameday_incasari where nume_fisier = 'sameday-incasari-demo.xlsx';
select coalesce(string_agg(awb || ': ' || err_ins_vek, ' / '), '-')
  from log_sameday_incasari where nume_fisier = 'sameday-incasari-demo.xlsx' and err_ins_vek is not null;
select count(*) from (select o_generare_incasare_awb_sameday('ana', awb, data_awb)
                        from log_sameday_incasari
                       where nume_fisier = 'sameday-incasari-demo.xlsx') as posted;
reset role;
select count(*) from doc_fin f join log_sameday_incasari l
    on f.data_doc_fin = l.data_awb and f.nr_doc_fin = right(l.awb, 15) and f.nr_doc_com = l.referinta_client
 where l.nume_fisier = 'sameday-incasari-demo.xlsx';
rollback;
""", report=text)
    n = str(len(data))
    check(result[0] == n, "the function took %s collections, not %s" % (result[0], n))
    check(result[1] == n, "%s rows logged, not %s" % (result[1], n))
    notes = result[2]
    check(notes.count(": ") == 1 and "Data colectare ramburs \"ieri\" nu este o data" in notes,
          "one row with a note on its collection date: %s" % notes)
    check(result[3] == n, "%s collections posted, not %s" % (result[3], n))
    check(result[4] == str(len(data) - 1), "%s allocations, not %d" % (result[4], len(data) - 1))

    if failures:
        print("\n".join("FAIL: " + f for f in failures))
        sys.exit(1)
    print("demo workbook: %d collections, all checks passed" % len(data))


if __name__ == "__main__":
    main()
