#include "CStringInputFormController.h"

#include "StringInputForm.h"

CStringInputFormController::CStringInputFormController() {
    // A closeForm() that comes before the new thread has reached startGUI()
    // must still close this window.
    prepareGUI();
    activate();
}

CStringInputFormController::~CStringInputFormController() {}

int CStringInputFormController::svc() {
    startGUI();
    return 0;
}

void CStringInputFormController::closeForm() { stopGUI(); }

int CStringInputFormController::fetchString(char* buffer, int size) { return GetString(buffer, size); }
