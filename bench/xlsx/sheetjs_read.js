// sheetjs_read.js FILE: reads the workbook with SheetJS (npm package xlsx) and
// every cell's value and formatted text of every sheet; prints the counts so
// that the work cannot be skipped.
'use strict';
const XLSX = require('xlsx');

const workbook = XLSX.readFile(process.argv[2]);
let cells = 0;
let chars = 0;
for (const name of workbook.SheetNames) {
  const sheet = workbook.Sheets[name];
  if (!sheet['!ref']) continue;
  const range = XLSX.utils.decode_range(sheet['!ref']);
  for (let r = range.s.r; r <= range.e.r; ++r) {
    for (let c = range.s.c; c <= range.e.c; ++c) {
      const cell = sheet[XLSX.utils.encode_cell({ r, c })];
      if (cell === undefined) continue;
      ++cells;
      chars += String(cell.w !== undefined ? cell.w : cell.v).length;
    }
  }
}
console.log(`sheetjs: ${cells} cells, ${chars} characters`);
