#!/usr/bin/python3
"""Writes the demo courier workbooks into the folder given as the argument.

  sameday-incasari-demo.xlsx         a Sameday collections report as wParvolen
                                     expects it: a summary on the first sheet,
                                     the collections on the second (header row,
                                     then 21 rows dated within the last 30 days)
  sameday-incasari-antet-gresit.xlsx the same collections with column I headed
                                     "Data AWB" instead of "Data": taking it
                                     over fails the header check

The collections pay the demo company's invoices FCL1005..FCL1024
(db/demo/invoices.csv, the list db/company/demo.sql loads), plus one whose
client reference names no invoice and one whose collection date is not a date.
Dates are relative to today. Run with /usr/bin/python3 (python3-openpyxl).
"""
import csv
import datetime
import os
import sys

from openpyxl import Workbook
from openpyxl.styles import Alignment, Font, PatternFill

HEADER = ["AWB", "Nume destinatar", "Judet destinatar", "Oras destinatar",
          "Adresa destinatar", "Adresa ridicare", "Referinta client", "Suma ramburs",
          "Data", "Data colectare ramburs", "Numar colete livrate"]
PICKUP = "Str. Fabricii nr. 10, Cluj-Napoca"


def collections(today):
    here = os.path.dirname(os.path.abspath(__file__))
    rows = []
    with open(os.path.join(here, "invoices.csv"), encoding="utf-8", newline="") as f:
        for inv in csv.DictReader(f, delimiter=";"):
            if inv["loc"] != "fisier":
                continue
            invoice_day = today - datetime.timedelta(days=int(inv["zile"]))
            awb_day = invoice_day + datetime.timedelta(days=1)
            collected = min(awb_day + datetime.timedelta(days=2), today)
            parcels = 2 if inv["awb"].startswith("4EMG") else 1
            rows.append([inv["awb"], inv["partener"], inv["judet"], inv["oras"], inv["adresa"],
                         PICKUP, inv["nr_doc"], float(inv["valoare"]), awb_day, collected, parcels])
    # A collection for a web order that has no invoice in VEK: its receipt
    # gets no allocation.
    day = today - datetime.timedelta(days=3)
    rows.append(["1ONBLN318310035", "ROTARU MIHAELA", "CLUJ", "Turda", "Str. Republicii nr. 30",
                 PICKUP, "COMANDA WEB 5521", 134.5, day, today, 1])
    # A collection date typed as text that is no date: the row is logged with
    # the date left empty and a note in err_ins_vek.
    day = today - datetime.timedelta(days=2)
    rows.append(["1ONBLN318310036", "IONITA PAUL", "SALAJ", "Zalau", "Str. Unirii nr. 4",
                 PICKUP, "FCL1023", 54.3, day, "ieri", 1])
    return rows


def write(path, header, rows, today):
    wb = Workbook()
    summary = wb.active
    summary.title = "Sumar"
    summary["A1"] = "Raport incasari ramburs Sameday"
    summary["A1"].font = Font(bold=True, size=12)
    summary["A3"] = "Generat la"
    summary["B3"] = today
    summary["B3"].number_format = "dd.mm.yyyy"
    summary["A4"] = "Numar AWB"
    summary["B4"] = len(rows)
    summary["A5"] = "Total ramburs"
    summary["B5"] = "=SUM(Incasari!H2:H%d)" % (len(rows) + 1)
    summary["B5"].number_format = "#,##0.00"
    summary["A7"] = "Detaliile sunt pe foaia Incasari."
    summary.column_dimensions["A"].width = 18
    summary.column_dimensions["B"].width = 14

    sheet = wb.create_sheet("Incasari")
    sheet.append(header)
    for cell in sheet[1]:
        cell.font = Font(bold=True, color="FFFFFF")
        cell.fill = PatternFill("solid", fgColor="316AC5")
        cell.alignment = Alignment(horizontal="center")
    for row in rows:
        sheet.append(row)
        r = sheet.max_row
        sheet.cell(r, 8).number_format = "#,##0.00"
        for c in (9, 10):
            if isinstance(sheet.cell(r, c).value, (datetime.date, datetime.datetime)):
                sheet.cell(r, c).number_format = "dd.mm.yyyy"
    for col, width in zip("ABCDEFGHIJK", (20, 22, 14, 16, 34, 32, 18, 13, 12, 22, 20)):
        sheet.column_dimensions[col].width = width
    sheet.freeze_panes = "A2"
    wb.save(path)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make-demo-workbook.py OUTPUT_FOLDER")
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    today = datetime.date.today()
    rows = collections(today)
    good = os.path.join(out, "sameday-incasari-demo.xlsx")
    bad = os.path.join(out, "sameday-incasari-antet-gresit.xlsx")
    write(good, HEADER, rows, today)
    wrong = list(HEADER)
    wrong[8] = "Data AWB"
    write(bad, wrong, rows, today)
    print(good)
    print(bad)


if __name__ == "__main__":
    main()
