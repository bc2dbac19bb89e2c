#pragma once

#include <QAbstractTableModel>
#include <QVariant>
#include <QVector>

// The script's rows where no window holds them (the command line): a plain table of
// ScriptRunner::ColumnCount columns whose cells are empty until set.
class ScriptTable : public QAbstractTableModel
{
    Q_OBJECT

public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    bool insertRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;
    bool removeRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;

private:
    QVector<QVector<QVariant>> rows;
};
