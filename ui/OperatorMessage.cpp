#include "ui/OperatorMessage.h"

#include <QMessageBox>

void showOperatorMessage(const QString& text)
{
    QMessageBox box;
    box.setText(text);
    box.setStandardButtons(QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
}
