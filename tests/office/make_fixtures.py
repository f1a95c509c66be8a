#!/usr/bin/python3
"""Makes, once, the office documents the tests refuse as a source: a league
calendar saved by the libraries that write such files (Debian's
python3-openpyxl, python3-docx, python3-odf, python3-xlwt). The files are
committed; run this again only to change them."""
import docx
import odf.opendocument
import odf.table
import odf.text
import openpyxl
import xlwt

LINES = ["1a giornata", "Lupi Rossi - Orsi 2-1", "Delfini - Lupi Rossi 0-0"]

book = openpyxl.Workbook()
for line in LINES:
    book.active.append([line])
book.save("calendario.xlsx")

document = docx.Document()
for line in LINES:
    document.add_paragraph(line)
document.save("calendario.docx")

sheet = odf.opendocument.OpenDocumentSpreadsheet()
table = odf.table.Table(name="Calendario")
for line in LINES:
    row = odf.table.TableRow()
    cell = odf.table.TableCell()
    cell.addElement(odf.text.P(text=line))
    row.addElement(cell)
    table.addElement(row)
sheet.spreadsheet.addElement(table)
sheet.save("calendario.ods")

text = odf.opendocument.OpenDocumentText()
for line in LINES:
    text.text.addElement(odf.text.P(text=line))
text.save("calendario.odt")

old = xlwt.Workbook()
old_sheet = old.add_sheet("Calendario")
for i, line in enumerate(LINES):
    old_sheet.write(i, 0, line)
old.save("calendario.xls")
