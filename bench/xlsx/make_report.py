#!/usr/bin/python3
"""make_report.py ROWS OUT.xlsx

Writes a Sameday collections report of ROWS data rows with openpyxl's
write-only mode (which stores every text as an inline string): a small first
worksheet, then the report on the second, header row plus ROWS rows of the
eleven columns, with texts, amounts under #,##0.00, dates under dd.mm.yyyy and
counts. The content is the same for the same ROWS (fixed random seed).
"""
import datetime
import random
import sys

from openpyxl import Workbook
from openpyxl.cell import WriteOnlyCell

HEADER = ["AWB", "Nume destinatar", "Judet destinatar", "Oras destinatar",
          "Adresa destinatar", "Adresa ridicare", "Referinta client", "Suma ramburs",
          "Data", "Data colectare ramburs", "Numar colete livrate"]

FIRST_NAMES = ["Ana", "Ion", "Maria", "Andrei", "Elena", "Mihai", "Ioana", "Ștefan", "Cristina",
               "Alexandru", "Gabriela", "Vasile", "Raluca", "Țugui", "Irina", "Bogdan"]
LAST_NAMES = ["Popescu", "Ionescu", "Popa", "Dumitru", "Stan", "Stoica", "Gheorghe", "Rusu",
              "Munteanu", "Matei", "Constantin", "Șerban", "Lungu", "Nistor", "Bălan", "Mocanu"]
PLACES = [("București", "Sector 1"), ("Cluj", "Cluj-Napoca"), ("Iași", "Iași"),
          ("Timiș", "Timișoara"), ("Constanța", "Constanța"), ("Brașov", "Brașov"),
          ("Dolj", "Craiova"), ("Galați", "Galați"), ("Prahova", "Ploiești"),
          ("Bihor", "Oradea"), ("Argeș", "Pitești"), ("Sibiu", "Sibiu"), ("Bacău", "Bacău"),
          ("Mureș", "Târgu Mureș"), ("Suceava", "Fălticeni"), ("Ilfov", "Voluntari")]
STREETS = ["Str. Mihai Eminescu", "Bd. Unirii", "Str. Libertății", "Calea Victoriei",
           "Str. Florilor", "Aleea Teilor", "Str. Păcii", "Bd. Independenței", "Str. Morii"]
PICKUPS = ["Depozit Chitila", "Depozit Ștefăneștii de Jos", "Hala 2, Str. Industriilor 14",
           "Magazin Centru", "Showroom Pipera"]


def main():
    rows = int(sys.argv[1])
    out = sys.argv[2]
    rnd = random.Random(20240315)
    wb = Workbook(write_only=True)
    summary = wb.create_sheet("Sumar")
    summary.append(["Raport incasari Sameday", rows])
    ws = wb.create_sheet("Incasari")
    ws.append(HEADER)

    def amount(value):
        cell = WriteOnlyCell(ws, value=value)
        cell.number_format = "#,##0.00"
        return cell

    def date(value):
        cell = WriteOnlyCell(ws, value=value)
        cell.number_format = "dd.mm.yyyy"
        return cell

    start = datetime.date(2024, 1, 1)
    for i in range(rows):
        county, town = rnd.choice(PLACES)
        day = start + datetime.timedelta(days=rnd.randrange(360))
        ws.append([
            "1EMGLN%09d" % (100000000 + i),
            "%s %s" % (rnd.choice(FIRST_NAMES), rnd.choice(LAST_NAMES)),
            county,
            town,
            "%s nr. %d, bl. %d, ap. %d" % (rnd.choice(STREETS), rnd.randrange(1, 200),
                                           rnd.randrange(1, 40), rnd.randrange(1, 90)),
            rnd.choice(PICKUPS),
            "CMD-%07d" % rnd.randrange(10000000),
            amount(rnd.randrange(500, 250000) / 100),
            date(day),
            date(day + datetime.timedelta(days=rnd.randrange(1, 6))),
            rnd.randrange(1, 4),
        ])
    wb.save(out)


if __name__ == "__main__":
    main()
