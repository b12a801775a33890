#include "program.h"

TfMenuParvolen* fMenuParvolen = nullptr;
TdmCon* dmCon = nullptr;
TfrmLogin* frmLogin = nullptr;
TfImportIncasariSameday* fImportIncasariSameday = nullptr;
