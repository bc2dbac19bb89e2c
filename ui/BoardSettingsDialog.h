#pragma once

#include "core/BoardSettingsFile.h"

#include "ui_BoardSettingsDialog.h"

#include <QDialog>

class BoardSettingsSession;
class DriveLink;

// Compares settings (from a file, or from the other board) with the selected board and
// applies the ticked rows: one row per parameter with the board's value and the wanted
// one, a difference highlighted; Apply writes the ticked rows and shows each read-back
// result. The comparison starts when the dialog is made; the summary carries the
// settings' note.
class BoardSettingsDialog : public QDialog
{
    Q_OBJECT

public:
    // source heads the column of the wanted values, such as "In the file"; with
    // tickDifferences the rows that differ start ticked.
    BoardSettingsDialog(DriveLink& link, const BoardSettings& wanted, const QString& source, bool tickDifferences,
                        QWidget* parent = nullptr);

    const Ui::BoardSettingsDialog& form() const { return ui; }

private:
    enum Column { MotorColumn, ParameterColumn, BoardColumn, WantedColumn, ResultColumn };

    void showComparison();
    void applyTicked();
    void showResults();
    int rowOf(const ParameterValue& parameter) const;

    Ui::BoardSettingsDialog ui;
    BoardSettingsSession* session = nullptr;
    QVector<ParameterValue> wanted;
    QString note;
    // By row: the board held another value when compared.
    QVector<bool> differed;
    bool tickDifferences;
    bool applying = false;
};
