#pragma once

#include <QtGlobal>

#if defined(DROVANE_LIBRARY)
#define DROVANE_EXPORT Q_DECL_EXPORT
#else
#define DROVANE_EXPORT Q_DECL_IMPORT
#endif
