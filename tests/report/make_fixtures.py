#!/usr/bin/python3
"""Writes the workbooks the xlsx-upload tests read, with openpyxl (a real
producer), into the folder given as the only argument.

The expected uploads are written out in tst_xlsx_upload_tool.cpp; a change to a
cell here needs the same change there.
"""
import datetime
import os
import shutil
import sys

from openpyxl import Workbook
from openpyxl.styles import Alignment

HEADER = ["AWB", "Nume destinatar", "Judet destinatar", "Oras destinatar",
          "Adresa destinatar", "Adresa ridicare", "Referinta client", "Suma ramburs",
          "Data", "Data colectare ramburs", "Numar colete livrate"]


def first_sheet(wb, title="Sumar"):
    ws = wb.active
    ws.title = title
    ws["A1"] = "Raport incasari Sameday"
    return ws


def report(path):
    """Two worksheets; the collections on the second, with the cell kinds a
    courier's report holds and the texts that need escaping in JSON."""
    wb = Workbook()
    first_sheet(wb)
    ws = wb.create_sheet("Incasari")
    ws.append(HEADER + ["Observatii"])

    # Row 2: texts with a quotation mark, a line feed, a backslash, a slash
    # and Romanian letters; an amount, a date, a date with a time, a count.
    ws.append(["1EMGLN000000001", 'Ana "Ani" Pop', "Iași", "Brașov", "Str. Lungă 5\nbl. A",
               "Depozit\\Hala 2", "REF/2024/001", 1234.5, datetime.datetime(2024, 3, 15),
               datetime.datetime(2024, 3, 15, 14, 30), 2, "right of K"])
    ws["E2"].alignment = Alignment(wrap_text=True)
    ws["H2"].number_format = "#,##0.00"
    ws["I2"].number_format = "dd.mm.yyyy"
    ws["J2"].number_format = "dd.mm.yyyy hh:mm"

    # Row 3: capital diacritics, a tab, an astral character; E left out; a
    # truth value, a formula without a stored result, an error, a time-only
    # format, a negative number under a date format.
    ws["A3"] = "1EMGLN000000002"
    ws["B3"] = "Ștefan Țurcanu"
    ws["C3"] = "Cluj\tNapoca"
    ws["D3"] = "Dej"
    ws["F3"] = "\U0001F4E6 Depozit"
    ws["G3"] = True
    ws["H3"] = "=0.1+0.2"
    ws["I3"] = "#N/A"
    ws["J3"] = 0.5
    ws["J3"].number_format = "hh:mm"
    ws["K3"] = -3
    ws["K3"].number_format = "dd.mm.yyyy"

    # Row 4 is stored without cells (a formatted row); row 5 has A and K only.
    ws.row_dimensions[4].height = 21
    ws["A5"] = "1EMGLN000000005"
    ws["K5"] = 1
    wb.save(path)


def header_only(path):
    wb = Workbook()
    first_sheet(wb)
    wb.create_sheet("Incasari").append(HEADER)
    wb.save(path)


def bad_header(path, column, text):
    wb = Workbook()
    first_sheet(wb)
    ws = wb.create_sheet("Incasari")
    header = list(HEADER)
    header[column] = text
    ws.append(header)
    ws.append(["1EMGLN000000001"] + [""] * 10)
    wb.save(path)


def one_sheet(path):
    wb = Workbook()
    ws = wb.active
    ws.title = "Incasari"
    ws.append(HEADER)
    ws.append(["1EMGLN000000001"])
    wb.save(path)


def collections_on_first_sheet(path):
    """The collections on the first sheet, another table on the second."""
    wb = Workbook()
    ws = wb.active
    ws.title = "Incasari"
    ws.append(HEADER)
    ws.append(["1EMGLN000000001"])
    other = wb.create_sheet("Totaluri")
    other.append(["Luna", "Total"])
    wb.save(path)


def chart_sheet_first(path):
    """A chart sheet before the worksheets does not count: the second
    worksheet is the report even though it is the workbook's third sheet."""
    wb = Workbook()
    first_sheet(wb)
    wb.create_chartsheet("Grafic", 0)
    ws = wb.create_sheet("Incasari")
    ws.append(HEADER)
    ws.append(["1EMGLN000000009", "Ion"])
    wb.save(path)


def hidden_first(path):
    """A hidden worksheet counts: the report is the second worksheet even when
    the first one is hidden."""
    wb = Workbook()
    first_sheet(wb).sheet_state = "hidden"
    ws = wb.create_sheet("Incasari")
    ws.append(HEADER)
    ws.append(["1EMGLN000000007", "Maria"])
    wb.active = 1
    wb.save(path)


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    report(os.path.join(out, "Sameday iunie.xlsx"))
    shutil.copyfile(os.path.join(out, "Sameday iunie.xlsx"), os.path.join(out, "INCASARI.XLSX"))
    shutil.copyfile(os.path.join(out, "Sameday iunie.xlsx"), os.path.join(out, "incasari.xls"))
    shutil.copyfile(os.path.join(out, "Sameday iunie.xlsx"),
                    os.path.join(out, "incasari.xlsx.bak"))
    header_only(os.path.join(out, "header-only.xlsx"))
    bad_header(os.path.join(out, "nr-awb.xlsx"), 0, "Nr. AWB")
    bad_header(os.path.join(out, "awb-space.xlsx"), 0, "AWB ")
    bad_header(os.path.join(out, "data-awb.xlsx"), 8, "Data AWB")
    one_sheet(os.path.join(out, "one-sheet.xlsx"))
    collections_on_first_sheet(os.path.join(out, "first-sheet.xlsx"))
    chart_sheet_first(os.path.join(out, "chart-sheet-first.xlsx"))
    hidden_first(os.path.join(out, "hidden-first.xlsx"))
    # Not a workbook at all, and a workbook cut off half-way.
    with open(os.path.join(out, "not-a-zip.xlsx"), "wb") as f:
        f.write(b"AWB;Nume destinatar\n1EMGLN000000001;Ana\n")
    with open(os.path.join(out, "Sameday iunie.xlsx"), "rb") as f:
        whole = f.read()
    with open(os.path.join(out, "truncated.xlsx"), "wb") as f:
        f.write(whole[: len(whole) // 2])
    with open(os.path.join(out, "stamp"), "w") as f:
        f.write("fixtures\n")


if __name__ == "__main__":
    main()
