// The recalculation workloads of bench_formula (BM_Chain*, BM_Sums*) run on HyperFormula, so
// the two engines can be compared on the same work. Prints one JSON object: for each
// workload the milliseconds of one iteration, wall clock and process CPU time (the best of
// several runs; CPU time is the fairer figure on a busy machine).
//
//   NODE_PATH=<dir with node_modules/hyperformula> node bench/hyperformula.mjs
import path from 'node:path';
import { createRequire } from 'node:module';

const require = createRequire(path.join(process.env.NODE_PATH || process.cwd(), 'x.js'));
const { HyperFormula } = require('hyperformula');

const kCells = 100000, kNumbers = 10000, kSpan = 10;
const config = { licenseKey: 'gpl-v3', maxRows: 1048576 };

function best(runs, fn) {
  let wall = Infinity, cpu = Infinity;
  for (let i = 0; i < runs; ++i) {
    const t0 = process.hrtime.bigint(), c0 = process.cpuUsage();
    fn(i);
    const c1 = process.cpuUsage(c0);
    wall = Math.min(wall, Number(process.hrtime.bigint() - t0) / 1e6);
    cpu = Math.min(cpu, (c1.user + c1.system) / 1e3);
  }
  return { wall, cpu };
}

// A1 = 1, A2 = A1+1, ... A100000.
function chainSheet() {
  const rows = [[1]];
  for (let r = 2; r <= kCells; ++r) rows.push([`=A${r - 1}+1`]);
  return rows;
}

// A1:A10000 numbers; 100,000 SUMs over ten-row windows in B:K, ten per row.
function sumsSheet() {
  const rows = [];
  for (let r = 1; r <= kCells / 10; ++r) rows.push(new Array(11).fill(null));
  for (let r = 1; r <= kNumbers; ++r) rows[r - 1][0] = r;
  for (let i = 0; i < kCells; ++i) {
    const top = (i % (kNumbers - kSpan)) + 1;
    rows[Math.floor(i / 10)][1 + (i % 10)] = `=SUM(A${top}:A${top + kSpan - 1})`;
  }
  return rows;
}

// A1:A10000 numbers, B1:B10000 one of 100 categories; 100,000 SUMIFS over all 10,000 rows
// in C:L, ten per row, each for a category.
const kCategories = 100;
function sumIfsSheet() {
  const rows = [];
  for (let r = 1; r <= kCells / 10; ++r) rows.push(new Array(12).fill(null));
  for (let r = 1; r <= kNumbers; ++r) {
    rows[r - 1][0] = r;
    rows[r - 1][1] = r % kCategories;
  }
  for (let i = 0; i < kCells; ++i) {
    rows[Math.floor(i / 10)][2 + (i % 10)] =
      `=SUMIFS($A$1:$A$${kNumbers},$B$1:$B$${kNumbers},${i % kCategories})`;
  }
  return rows;
}

const result = {};

// Loading: parse every formula and compute every cell.
result.chain_build = best(2, () => {
  const hf = HyperFormula.buildFromArray(chainSheet(), config);
  if (hf.getCellValue({ sheet: 0, row: kCells - 1, col: 0 }) !== kCells) throw new Error('chain');
  hf.destroy();
});
result.sums_build = best(2, () => {
  const hf = HyperFormula.buildFromArray(sumsSheet(), config);
  if (hf.getCellValue({ sheet: 0, row: 0, col: 1 }) !== 55) throw new Error('sums');
  hf.destroy();
});

// Recalculation: the chain's first cell changes, all 100,000 formulas follow.
{
  const hf = HyperFormula.buildFromArray(chainSheet(), config);
  result.chain_recalc = best(5, (i) => {
    hf.setCellContents({ sheet: 0, row: 0, col: 0 }, [[i + 2]]);
    if (hf.getCellValue({ sheet: 0, row: kCells - 1, col: 0 }) !== kCells + i + 1) {
      throw new Error('chain recalc');
    }
  });
  hf.destroy();
}

// Recalculation: every number the SUMs read changes at once, all 100,000 SUMs follow.
{
  const hf = HyperFormula.buildFromArray(sumsSheet(), config);
  result.sums_recalc = best(5, (i) => {
    const column = [];
    for (let r = 1; r <= kNumbers; ++r) column.push([r + i + 1]);
    hf.setCellContents({ sheet: 0, row: 0, col: 0 }, column);
    if (hf.getCellValue({ sheet: 0, row: 0, col: 1 }) !== 55 + 10 * (i + 1)) {
      throw new Error('sums recalc');
    }
  });
  hf.destroy();
}

// HyperFormula takes over ten minutes on the SUMIFS table (bench/formula_notes.md): only
// with PEER_SUMIFS=1 in the environment.
if (process.env.PEER_SUMIFS === '1') {
result.sumifs_build = best(2, () => {
  const hf = HyperFormula.buildFromArray(sumIfsSheet(), config);
  if (hf.getCellValue({ sheet: 0, row: 0, col: 2 }) !== 505000) throw new Error('sumifs');
  hf.destroy();
});
{
  const hf = HyperFormula.buildFromArray(sumIfsSheet(), config);
  result.sumifs_recalc = best(5, (i) => {
    const column = [];
    for (let r = 1; r <= kNumbers; ++r) column.push([r + i + 1]);
    hf.setCellContents({ sheet: 0, row: 0, col: 0 }, column);
    if (hf.getCellValue({ sheet: 0, row: 0, col: 2 }) !== 505000 + 100 * (i + 1)) {
      throw new Error('sumifs recalc');
    }
  });
  hf.destroy();
}
}

console.log(JSON.stringify(result));
