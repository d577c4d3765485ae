/* Export macro: the library is built with hidden visibility; only what carries DDT_API is
 * part of the shared library's interface (exported classes and the extern "C" functions). */
#ifndef DDTABLE_EXPORT_H
#define DDTABLE_EXPORT_H

#define DDT_API __attribute__((visibility("default")))

#endif /* DDTABLE_EXPORT_H */
