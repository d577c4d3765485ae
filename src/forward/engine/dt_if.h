#include <ddtable/dt_if.h>
