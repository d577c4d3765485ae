/* The host's conversion of a substituted value (see substitute_parameters in ddtable.h),
 * shared by the script functions and CDDTResults. */
#ifndef DDTABLE_SUBSTITUTE_CALLBACK_H
#define DDTABLE_SUBSTITUTE_CALLBACK_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* First called with a null name, a null buffer and size 0: returns the number of characters
 * the converted value needs. Then called with the parameter's name, a buffer of that many
 * characters plus the terminator, and that size: writes the converted value,
 * zero-terminated. */
typedef int (*DDT_SUBSTITUTE_CALLBACK)(void* context, const char* name, const char* value,
                                       char* buffer, uint32_t size);

#ifdef __cplusplus
}  /* extern "C" */
#endif

#endif /* DDTABLE_SUBSTITUTE_CALLBACK_H */
