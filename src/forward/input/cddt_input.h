#include <ddtable/cddt_input.h>
