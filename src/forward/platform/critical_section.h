#include <ddtable/critical_section.h>
