// The value fields and parameter buttons of a DriveView: what they show, whether it is
// the selected board's, and what the operator can change.
#include "ui/DriveView.h"

using namespace SharedVariables;

void DriveView::showValue(Index index, const QString& text)
{
    QLineEdit* field = fields[index];
    endPending(index);
    if (notCurrent[index]) {
        notCurrent[index] = false;
        field->setEnabled(true);
        field->setToolTip(QString());
        if (buttons[index])
            updateParameterButton(index);
    }
    deferred[index] = !isVisible() && window()->isVisible();
    if (deferred[index])
        deferredText[index] = text;
    else if (field->text() != text)
        field->setText(text);
}

void DriveView::showEvent(QShowEvent* event)
{
    for (int index = 0; index < VariableCount; ++index) {
        if (deferred[index] && fields[index]->text() != deferredText[index])
            fields[index]->setText(deferredText[index]);
        deferred[index] = false;
    }
    QWidget::showEvent(event);
}

void DriveView::showPending(Index index, const QString& text)
{
    QLineEdit* field = fields[index];
    deferred[index] = false;
    pending[index] = true;
    QFont font = field->font();
    font.setItalic(true);
    field->setFont(font);
    field->setToolTip(tr("pending: %1 written to board %2, waiting for the board's read-back").arg(text, board));
    field->setText(text);
}

void DriveView::endPending(Index index)
{
    if (!pending[index])
        return;
    pending[index] = false;
    QLineEdit* field = fields[index];
    QFont font = field->font();
    font.setItalic(false);
    field->setFont(font);
    field->setToolTip(QString());
}

void DriveView::showNotCurrent(Index index, const QString& reason)
{
    endPending(index);
    deferred[index] = false;
    notCurrent[index] = true;
    fields[index]->clear();
    fields[index]->setEnabled(false);
    fields[index]->setToolTip(reason);
    if (buttons[index])
        updateParameterButton(index);
}

void DriveView::setConnected(bool isConnected)
{
    connected = isConnected;
    for (Index index : parameters())
        updateParameterButton(index);
}

// A dialog opened on a value that is not the selected board's would write it back to
// that board: the button waits for the value.
void DriveView::updateParameterButton(Index index)
{
    QToolButton* button = buttons[index];
    button->setEnabled(connected && !notCurrent[index]);
    if (!connected) {
        button->setToolTip(tr("Connect first to change this value."));
    } else if (notCurrent[index]) {
        button->setToolTip(fields[index]->toolTip());
    } else {
        const Variable& parameter = variable(index);
        button->setToolTip(tr("%1: %2 to %3, address %4 (motor %5)")
                               .arg(QLatin1String(parameter.name))
                               .arg(parameter.minimum, 0, 'g', 10)
                               .arg(parameter.maximum, 0, 'g', 10)
                               .arg(address(motor, index))
                               .arg(motor));
    }
}
