/* ddtable platform hooks for the host application (C interface). */
#ifndef DDTABLE_PLATFORM_H
#define DDTABLE_PLATFORM_H

#include "ddtable/export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Receives every message box the library shows: the text, the caption (both UTF-8,
 * zero-terminated, valid during the call only), the flags (MB_* values of the Windows API:
 * buttons in the low 4 bits, icon in the next 4) and the user pointer given at installation.
 * Returns the answer: 1 OK, 2 Cancel, 3 Abort, 4 Retry, 5 Ignore, 6 Yes, 7 No; 0 declines
 * the box, which then goes to the default (standard error) as if no handler were installed.
 * It runs on the thread that shows the box. */
typedef int (*ddt_message_handler)(const char* text, const char* caption, unsigned flags,
                                   void* user);

/* Installs handler with its user pointer for the whole process; a null handler restores the
 * default, which writes one line "caption: text" to standard error (caption "ddtable" when
 * the box has none) and answers 1 (OK). */
DDT_API void ddt_set_message_handler(ddt_message_handler handler, void* user);

#ifdef __cplusplus
}
#endif

#endif /* DDTABLE_PLATFORM_H */
