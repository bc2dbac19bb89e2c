#pragma once

class QString;

// The operator's message box: modal, without parent, the text and a single OK button
// that is also the default. Returns when the operator has closed it.
void showOperatorMessage(const QString& text);
