#pragma once

#include <QtCore/qglobal.h>

// The control is a shared library; hosts import its classes.
#if defined(BREVEL_LIBRARY)
#define BREVEL_EXPORT Q_DECL_EXPORT
#else
#define BREVEL_EXPORT Q_DECL_IMPORT
#endif
