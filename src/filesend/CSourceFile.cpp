#include "filesend/CSourceFile.h"

CSourceFile::~CSourceFile() {
    Close();
}
