// The four program-wide objects. Program start creates them in this order
// and sets these variables: fMenuParvolen (main window), dmCon (data module),
// frmLogin (login window), fImportIncasariSameday (collections window); at
// the end they are destroyed in the reverse order and the variables reset to
// nullptr. They are null before start and after the end.
//
// Every window reaches the others and the session state through them, e.g.
//   #include "program.h"
//   #include "u_dmCon.h"
//   dmCon->conVek ... dmCon->glUser
#pragma once

class TfMenuParvolen;
class TdmCon;
class TfrmLogin;
class TfImportIncasariSameday;

extern TfMenuParvolen* fMenuParvolen;
extern TdmCon* dmCon;
extern TfrmLogin* frmLogin;
extern TfImportIncasariSameday* fImportIncasariSameday;
