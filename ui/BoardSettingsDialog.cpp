#include "ui/BoardSettingsDialog.h"

#include "core/BoardSettingsSession.h"
#include "core/DriveLink.h"

#include <QPushButton>

using Outcome = BoardSettingsSession::Outcome;

namespace {

const QColor DifferenceColor(255, 230, 150);
const QColor VerifiedColor(200, 240, 200);
const QColor FailedColor(250, 190, 190);

QString exact(const ParameterValue& parameter, double value)
{
    return BoardSettingsFile::exactText(parameter.variable(), value);
}

QString subject(const ParameterValue& parameter)
{
    return QStringLiteral("motor %1 %2").arg(parameter.motor).arg(QLatin1String(parameter.variable().name));
}

} // namespace

BoardSettingsDialog::BoardSettingsDialog(DriveLink& link, const BoardSettings& settings, const QString& source,
                                         bool tickDifferences, QWidget* parent)
    : QDialog(parent), wanted(settings.values), note(settings.note), tickDifferences(tickDifferences)
{
    ui.setupUi(this);
    ui.tableWidget_Settings->horizontalHeaderItem(WantedColumn)->setText(source);
    QPushButton* apply = ui.buttonBox->button(QDialogButtonBox::Apply);
    apply->setEnabled(false);
    connect(apply, &QPushButton::clicked, this, &BoardSettingsDialog::applyTicked);
    connect(ui.buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);

    session = new BoardSettingsSession(link, this);
    connect(session, &BoardSettingsSession::progress, this, [this](int done, int total) {
        ui.progressBar->setMaximum(total);
        ui.progressBar->setValue(done);
    });
    connect(session, &BoardSettingsSession::finished, this, [this] { applying ? showResults() : showComparison(); });
    // The comparison is of the board selected now; another board's values are not these.
    connect(&link, &DriveLink::boardSelected, this, [this, apply] {
        if (!applying && apply->isEnabled()) {
            apply->setEnabled(false);
            ui.label_Summary->setText(tr("Another board was selected, so this comparison no longer holds. "
                                         "Close this window and start again."));
        }
    });
    ui.label_Summary->setText(tr("Reading board %1...").arg(link.board()));
    session->compare(wanted);
}

void BoardSettingsDialog::showComparison()
{
    if (session->failure() != BoardSettingsSession::Failure::None) {
        ui.label_Summary->setText(session->failureText());
        return;
    }
    QTableWidget* table = ui.tableWidget_Settings;
    const QVector<BoardSettingsSession::Result>& results = session->results();
    table->setRowCount(results.size());
    differed.clear();
    int differing = 0;
    for (int row = 0; row < results.size(); ++row) {
        const BoardSettingsSession::Result& result = results[row];
        auto* motor = new QTableWidgetItem(QString::number(result.wanted.motor));
        motor->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        motor->setCheckState(tickDifferences && result.differs() ? Qt::Checked : Qt::Unchecked);
        table->setItem(row, MotorColumn, motor);
        const QStringList texts{QLatin1String(result.wanted.variable().name), exact(result.wanted, result.onBoard),
                                exact(result.wanted, result.wanted.value), QString()};
        for (int column = ParameterColumn; column <= ResultColumn; ++column) {
            auto* item = new QTableWidgetItem(texts[column - ParameterColumn]);
            item->setFlags(Qt::ItemIsEnabled);
            if (result.differs() && (column == BoardColumn || column == WantedColumn))
                item->setBackground(DifferenceColor);
            table->setItem(row, column, item);
        }
        differed.append(result.differs());
        differing += result.differs();
    }
    table->resizeColumnsToContents();
    QString summary = differing == 0
        ? tr("Board %1 holds all %2 values.").arg(session->board()).arg(results.size())
        : tr("%1 of %2 values differ on board %3 (highlighted). Tick the values to write, then press Apply.")
              .arg(differing)
              .arg(results.size())
              .arg(session->board());
    if (!note.isEmpty())
        summary += QLatin1Char(' ') + note;
    ui.label_Summary->setText(summary);
    ui.buttonBox->button(QDialogButtonBox::Apply)->setEnabled(!results.isEmpty());
}

void BoardSettingsDialog::applyTicked()
{
    QTableWidget* table = ui.tableWidget_Settings;
    QVector<ParameterValue> ticked;
    for (int row = 0; row < table->rowCount(); ++row) {
        if (table->item(row, MotorColumn)->checkState() == Qt::Checked)
            ticked.append(wanted[row]);
    }
    if (ticked.isEmpty()) {
        ui.label_Summary->setText(tr("Tick the values to write, then press Apply."));
        return;
    }
    applying = true;
    ui.buttonBox->button(QDialogButtonBox::Apply)->setEnabled(false);
    ui.checkBox_SaveEeprom->setEnabled(false);
    for (int row = 0; row < table->rowCount(); ++row)
        table->item(row, MotorColumn)->setFlags(Qt::ItemIsEnabled);
    ui.label_Summary->setText(tr("Writing to board %1...").arg(session->board()));
    session->apply(ticked, ui.checkBox_SaveEeprom->isChecked());
}

void BoardSettingsDialog::showResults()
{
    QTableWidget* table = ui.tableWidget_Settings;
    QStringList verified;
    QStringList notVerified;
    QStringList notWritten;
    int failed = 0;
    // The rows not ticked were not written: those the board held already are unchanged.
    int unchanged = 0;
    int leftDiffering = 0;
    for (int row = 0; row < table->rowCount(); ++row) {
        if (table->item(row, MotorColumn)->checkState() != Qt::Checked)
            ++(differed[row] ? leftDiffering : unchanged);
    }
    for (const BoardSettingsSession::Result& result : session->results()) {
        const int row = rowOf(result.wanted);
        QTableWidgetItem* outcome = table->item(row, ResultColumn);
        outcome->setText(BoardSettingsSession::outcomeText(result));
        switch (result.outcome) {
        case Outcome::Verified:
            verified << subject(result.wanted);
            outcome->setBackground(VerifiedColor);
            table->item(row, BoardColumn)->setText(exact(result.wanted, result.readBack));
            break;
        case Outcome::Mismatch:
            ++failed;
            outcome->setBackground(FailedColor);
            table->item(row, BoardColumn)->setText(exact(result.wanted, result.readBack));
            break;
        case Outcome::Unchanged:
            ++unchanged;
            table->item(row, BoardColumn)->setText(exact(result.wanted, result.onBoard));
            break;
        case Outcome::NotVerified:
            notVerified << subject(result.wanted);
            outcome->setBackground(FailedColor);
            break;
        case Outcome::NotWritten:
            notWritten << subject(result.wanted);
            break;
        }
    }
    table->resizeColumnsToContents();
    QString summary;
    if (session->failure() == BoardSettingsSession::Failure::None) {
        summary = tr("Board %1: %2 written and verified, %3 unchanged, %4 failed.")
                      .arg(session->board())
                      .arg(verified.size())
                      .arg(unchanged)
                      .arg(failed);
        if (leftDiffering > 0)
            summary += tr(" %1 that differ were not ticked, so not written.").arg(leftDiffering);
    } else {
        summary = session->failureText() + tr(" Written and verified: %1.").arg(verified.isEmpty() ? tr("none") : verified.join(QStringLiteral(", ")));
        if (!notVerified.isEmpty())
            summary += tr(" Written but not verified: %1.").arg(notVerified.join(QStringLiteral(", ")));
        if (!notWritten.isEmpty())
            summary += tr(" Not written: %1.").arg(notWritten.join(QStringLiteral(", ")));
    }
    if (ui.checkBox_SaveEeprom->isChecked())
        summary += session->eepromSaved() ? tr(" Saved to EEPROM.") : tr(" Not saved to EEPROM: not every value was verified.");
    ui.label_Summary->setText(summary);
}

int BoardSettingsDialog::rowOf(const ParameterValue& parameter) const
{
    for (int row = 0; row < wanted.size(); ++row) {
        if (wanted[row].motor == parameter.motor && wanted[row].index == parameter.index)
            return row;
    }
    return -1;
}
