/* The plain-C floor of a file-version test: 1 when the file's fixed file version is at least
 * ms.ls, 0 otherwise (also when it cannot be read). */
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

int floor_file_version_at_least(const char* path, uint32_t ms, uint32_t ls);

#ifdef __cplusplus
}
#endif
