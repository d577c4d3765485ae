#include <ddtable/prm.h>
