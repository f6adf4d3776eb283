#include "CStringInputFormController.h"

#include "StringInputForm.h"

CStringInputFormController::CStringInputFormController() {
    // A closeForm() that comes before the new thread has reached startGUI()
    // must still close this window.
    prepareGUI();
    activate();
}

CStringInputFormController::~CStringInputFormController() {
    // The owner closes and waits first; a controller deleted without that
    // must still not leave its thread running on a destroyed object (the
    // framework's 2.x task would end the process).
    closeForm();
    wait();
}

int CStringInputFormController::svc() {
    startGUI();
    return 0;
}

void CStringInputFormController::closeForm() { stopGUI(); }

int CStringInputFormController::fetchString(char* buffer, int size) {
    return GetString(buffer, size);
}
