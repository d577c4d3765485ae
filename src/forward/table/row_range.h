#include <ddtable/row_range.h>
