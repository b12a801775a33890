#!/usr/bin/python3
"""Writes the workbook the spreadsheet-view tests show, with openpyxl, into the
folder given as the only argument. tst_spreadsheet_view.cpp states what each
cell must read; a change here needs the same change there."""
import datetime
import os
import sys

from openpyxl import Workbook


def two_sheets(path):
    wb = Workbook()
    first = wb.active
    first.title = "Sumar"
    first["A1"] = "Raport incasari"
    first["B2"] = 12.5
    first["C3"] = datetime.datetime(2024, 3, 15)
    first["C3"].number_format = "dd.mm.yyyy"

    second = wb.create_sheet("Incasari")
    second.append(["AWB", "Nume destinatar", "Judet destinatar"])
    second.append(["1EMGLN000000001", "Ana Pop", "Iași"])
    second["AB3"] = "departe"
    second["D4"] = True
    wb.save(path)


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    two_sheets(os.path.join(out, "two-sheets.xlsx"))
    with open(os.path.join(out, "stamp"), "w") as f:
        f.write("fixtures\n")


if __name__ == "__main__":
    main()
