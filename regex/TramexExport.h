#pragma once

#if defined(TRAMEX_BUILDING)
#define TRAMEX_EXPORT __attribute__((visibility("default")))
#else
#define TRAMEX_EXPORT
#endif
