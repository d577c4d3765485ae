#include <ddtable/dt_notify.h>
