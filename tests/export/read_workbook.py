"""Reads a workbook back with openpyxl and prints what a test checks, as JSON.

usage: read_workbook.py FILE

Every cell of every row up to the sheet's last used row and column is listed, so an empty
cell in the middle of a row shows up as {"type": "empty"}.
"""
import datetime
import json
import sys

import openpyxl


def cell_json(cell):
    value = cell.value
    result = {"bold": bool(cell.font and cell.font.b)}
    if value is None:
        result["type"] = "empty"
    elif cell.is_date:
        result["type"] = "date"
        result["value"] = value.isoformat() if isinstance(value, datetime.datetime) else str(value)
    elif isinstance(value, bool):
        result["type"] = "boolean"
        result["value"] = value
    elif isinstance(value, (int, float)):
        result["type"] = "number"
        result["value"] = float(value)
    else:
        result["type"] = "text" if cell.data_type == "s" else cell.data_type
        result["value"] = str(value)
    return result


def main():
    book = openpyxl.load_workbook(sys.argv[1])
    sheets = []
    for sheet in book.worksheets:
        widths = {}
        for letter, dimension in sheet.column_dimensions.items():
            if dimension.customWidth:
                widths[letter] = dimension.width
        rows = [[cell_json(c) for c in row] for row in sheet.iter_rows()]
        sheets.append({"name": sheet.title, "widths": widths, "rows": rows})
    json.dump({"sheets": sheets}, sys.stdout)


main()
