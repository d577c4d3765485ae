#include <ddtable/dt_f1.h>
