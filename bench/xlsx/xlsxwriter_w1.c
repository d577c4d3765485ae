/* The peer for saving W1: libxlsxwriter (its default mode, shared strings) writing the same
 * header row and cells.
 *   xlsxwriter_w1 FILE.xlsx [ROWS] */
#include <stdio.h>
#include <stdlib.h>
#include <xlsxwriter.h>

#define W1_ROWS 100000
#define W1_COLS 20

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    fprintf(stderr, "usage: %s FILE.xlsx [ROWS]\n", argv[0]);
    return 2;
  }
  const int rows = argc == 3 ? atoi(argv[2]) : W1_ROWS;
  lxw_workbook* book = workbook_new(argv[1]);
  lxw_worksheet* sheet = workbook_add_worksheet(book, "Data");
  char text[32];
  for (int c = 1; c <= W1_COLS; ++c) {
    snprintf(text, sizeof text, "Param%d", c);
    worksheet_write_string(sheet, 0, (lxw_col_t)(c - 1), text, NULL);
  }
  for (int r = 1; r <= rows; ++r)
    for (int c = 1; c <= W1_COLS; ++c) {
      if (c % 2 == 1) {
        snprintf(text, sizeof text, "item %d", (r * 7 + c) % 5000);
        worksheet_write_string(sheet, (lxw_row_t)r, (lxw_col_t)(c - 1), text, NULL);
      } else {
        worksheet_write_number(sheet, (lxw_row_t)r, (lxw_col_t)(c - 1), r * 0.25 + c, NULL);
      }
    }
  return workbook_close(book) == LXW_NO_ERROR ? 0 : 1;
}
