#pragma once

#if defined(PATTORN_BUILDING)
#define PATTORN_EXPORT __attribute__((visibility("default")))
#else
#define PATTORN_EXPORT
#endif
