#include <ddtable/cdt.h>
