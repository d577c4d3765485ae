/* ddtable version: the numbers the headers were released with. ddt_version() (ddtable.h)
 * gives the version of the library actually loaded, so a host can compare the two. The
 * build reads the three numbers from this file; the shared library's SONAME follows them
 * (libddtable.so.MAJOR from 1.0 on, libddtable.so.0.MINOR before). */
#ifndef DDTABLE_VERSION_H
#define DDTABLE_VERSION_H

#define DDT_VERSION_MAJOR 0
#define DDT_VERSION_MINOR 1
#define DDT_VERSION_PATCH 0

#define DDT_VERSION_STRING "0.1.0"
/* One number that grows with every release: MAJOR * 10000 + MINOR * 100 + PATCH. */
#define DDT_VERSION_NUMBER \
  (DDT_VERSION_MAJOR * 10000 + DDT_VERSION_MINOR * 100 + DDT_VERSION_PATCH)

#endif /* DDTABLE_VERSION_H */
