#pragma once

#include <QWidget>

#include <functional>

// Answers the next modal dialog or message box: polls for
// QApplication::activeModalWidget() and hands it to answer, once.
void answerNextModal(std::function<void(QWidget*)> answer, int timeoutMs = 10000);

// Text of a message box (empty for other widgets) and a press of its default button.
QString messageBoxText(QWidget* modal);
void acceptModal(QWidget* modal);
void rejectModal(QWidget* modal);

// Types path into an open-file dialog's file-name field and accepts, as an operator
// does (the dialog ignores selectFile() while that field has focus); an empty path or
// another kind of dialog is cancelled.
void chooseInFileDialog(QWidget* modal, const QString& path);
