#pragma once

class QTranslator;

// Qt's own Korean texts for its standard dialogs and buttons (file, print,
// colour, "확인"/"취소"), so that they match the program's Korean windows.
class CQtKorean {
public:
    // Loads Qt's Korean catalogue from Qt's translations folder and installs
    // it in the running application; the translator belongs to the
    // application (deleting it uninstalls it). nullptr when the catalogue is
    // not installed: the dialogs then stay in English.
    static QTranslator* Install();
};
