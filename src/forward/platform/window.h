#include <ddtable/window.h>
