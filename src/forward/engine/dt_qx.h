#include <ddtable/dt_qx.h>
