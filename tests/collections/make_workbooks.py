#!/usr/bin/python3
"""Writes the courier workbooks that the collections-window tests take over,
with openpyxl, into the folder given as the only argument.

The rows of good.xlsx and other.xlsx are repeated in tst_collections_takeover.cpp
(what the log holds afterwards); a change here needs the same change there.
"""
import datetime
import os
import sys

from openpyxl import Workbook
from openpyxl.styles import Alignment

HEADER = ["AWB", "Nume destinatar", "Judet destinatar", "Oras destinatar",
          "Adresa destinatar", "Adresa ridicare", "Referinta client", "Suma ramburs",
          "Data", "Data colectare ramburs", "Numar colete livrate"]


def new_report(rows, header=HEADER, summary="Sumar"):
    wb = Workbook()
    first = wb.active
    first.title = summary
    first["A1"] = "Raport incasari Sameday"
    ws = wb.create_sheet("Incasari")
    ws.append(header)
    for row in rows:
        ws.append(row)
    for r in range(2, len(rows) + 2):
        ws.cell(r, 8).number_format = "#,##0.00"
        ws.cell(r, 9).number_format = "dd.mm.yyyy"
        ws.cell(r, 10).number_format = "dd.mm.yyyy"
    return wb, ws


def good(path):
    """Three collections with an amount, two dates, Romanian letters and a
    cell wrapped over two lines."""
    wb, ws = new_report([
        ["1ONB240000000101", "Ana Pop", "ALBA", "Alba Iulia", "Str. Unirii 1",
         "Str. Fabricii nr. 10, Cluj-Napoca", "FCL2001", 1234.5,
         datetime.datetime(2024, 3, 15), datetime.datetime(2024, 3, 18), 1],
        ["1ONB240000000102", "Ștefan Țăran", "Cluj", "Dej", "Str. Lungă 5\nbl. A",
         "Str. Fabricii nr. 10, Cluj-Napoca", "FCL2002", 99.99,
         datetime.datetime(2024, 3, 16), datetime.datetime(2024, 3, 19), 2],
        ["1ONB240000000103", 'Ion "Nelu" Rus', "Bihor", "Oradea", "Piata Unirii\\3",
         "Str. Fabricii nr. 10, Cluj-Napoca", "FCL2003", 10,
         datetime.datetime(2024, 3, 16), datetime.datetime(2024, 3, 20), 1],
    ])
    ws["E3"].alignment = Alignment(wrap_text=True)
    wb.save(path)


def other(path):
    """Two other collections: the workbook that follows a failed take-over."""
    wb, _ = new_report([
        ["1ONB240000000201", "Maria Ene", "Iasi", "Pascani", "Str. Garii 2",
         "Str. Fabricii nr. 10, Cluj-Napoca", "FCL2101", 50,
         datetime.datetime(2024, 4, 2), datetime.datetime(2024, 4, 3), 1],
        ["1ONB240000000202", "Dan Pavel", "Iasi", "Iasi", "Bd. Independentei 9",
         "Str. Fabricii nr. 10, Cluj-Napoca", "FCL2102", 75.25,
         datetime.datetime(2024, 4, 2), datetime.datetime(2024, 4, 4), 3],
    ], summary="Rezumat aprilie")
    wb.save(path)


def header_only(path):
    wb, _ = new_report([])
    wb.save(path)


def bad_header(path, column, text):
    header = list(HEADER)
    header[ord(column) - ord("A")] = text
    header[ord(column) - ord("A") + 1] = "Gresit si aici"   # never looked at
    wb, _ = new_report([["1ONB240000000301", "Vasile Cozma", "Arad", "Arad", "Str. Mare 1",
                         "Depozit", "FCL2201", 12, datetime.datetime(2024, 3, 15),
                         datetime.datetime(2024, 3, 16), 1]], header=header)
    wb.save(path)


def one_sheet(path):
    wb = Workbook()
    ws = wb.active
    ws.title = "Incasari"
    ws.append(HEADER)
    ws.append(["1ONB240000000401", "Ana Pop", "ALBA", "Alba Iulia", "Str. Unirii 1", "Depozit",
               "FCL2301", 1, datetime.datetime(2024, 3, 15), datetime.datetime(2024, 3, 16), 1])
    wb.save(path)


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    good(os.path.join(out, "good.xlsx"))
    other(os.path.join(out, "other.xlsx"))
    header_only(os.path.join(out, "header_only.xlsx"))
    bad_header(os.path.join(out, "bad_header_a.xlsx"), "A", "AWB ")
    bad_header(os.path.join(out, "bad_header_b.xlsx"), "B", "Nume")
    bad_header(os.path.join(out, "bad_header_i.xlsx"), "I", "Data AWB")
    one_sheet(os.path.join(out, "one_sheet.xlsx"))
    with open(os.path.join(out, "not_a_workbook.xlsx"), "wb") as f:
        f.write(b"AWB;Nume destinatar\n1ONB;Ana\n")
    with open(os.path.join(out, "stamp"), "w") as f:
        f.write("ok\n")


if __name__ == "__main__":
    main()
