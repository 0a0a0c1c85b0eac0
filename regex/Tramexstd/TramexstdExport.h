#pragma once

#if defined(TRAMEXSTD_BUILDING)
#define TRAMEXSTD_EXPORT __attribute__((visibility("default")))
#else
#define TRAMEXSTD_EXPORT
#endif
