#pragma once

#include <QString>

// The operator's message box: modal, without parent, titled, the text and a single OK
// button that is also the default. Returns when the operator has closed it.
void showOperatorMessage(const QString& text, const QString& title = QStringLiteral("drive-setup"));
