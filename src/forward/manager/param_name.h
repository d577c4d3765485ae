#include <ddtable/param_name.h>
