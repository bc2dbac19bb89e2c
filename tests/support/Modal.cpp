#include "support/Modal.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QPointer>
#include <QTimer>

void answerNextModal(std::function<void(QWidget*)> answer, int timeoutMs)
{
    auto* poll = new QTimer;
    auto* clock = new QElapsedTimer;
    clock->start();
    QObject::connect(poll, &QTimer::timeout, [poll, clock, answer, timeoutMs] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal && clock->elapsed() < timeoutMs)
            return;
        poll->stop();
        poll->deleteLater();
        delete clock;
        if (modal)
            answer(modal);
    });
    poll->start(10);
}

QString messageBoxText(QWidget* modal)
{
    auto* box = qobject_cast<QMessageBox*>(modal);
    return box ? box->text() : QString();
}

void acceptModal(QWidget* modal)
{
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        box->defaultButton() ? box->defaultButton()->click() : box->accept();
        return;
    }
    if (auto* dialog = qobject_cast<QDialog*>(modal))
        dialog->accept();
}

void rejectModal(QWidget* modal)
{
    if (auto* dialog = qobject_cast<QDialog*>(modal))
        dialog->reject();
}

void chooseInFileDialog(QWidget* modal, const QString& path)
{
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    auto* name = dialog ? dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")) : nullptr;
    if (path.isEmpty() || !name)
        return rejectModal(modal);
    name->setFocus();
    name->setText(path);
    static_cast<QDialog*>(dialog)->accept();
}
