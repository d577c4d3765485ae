#include <ddtable/cddt_results.h>
