#include "link/ui/CLinkDialogs.h"
bool CLinkDialogs::Run(QWidget*, int, LinkSettings&, CComPortMap&) { return false; }
