#include "ui/OperatorMessage.h"

#include <QMessageBox>

void showOperatorMessage(const QString& text, const QString& title)
{
    QMessageBox box;
    box.setWindowTitle(title);
    box.setText(text);
    box.setStandardButtons(QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
}
