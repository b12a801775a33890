#!/usr/bin/python3
"""openpyxl_read.py FILE: reads every cell of every worksheet with openpyxl in
read-only mode; prints the counts so that the work cannot be skipped."""
import sys

from openpyxl import load_workbook

workbook = load_workbook(sys.argv[1], read_only=True)
cells = 0
chars = 0
for sheet in workbook.worksheets:
    for row in sheet.iter_rows(values_only=True):
        for value in row:
            if value is not None:
                cells += 1
                chars += len(str(value))
workbook.close()
print("openpyxl: %d cells, %d characters" % (cells, chars))
