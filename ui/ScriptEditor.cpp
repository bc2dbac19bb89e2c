#include "ui/ScriptEditor.h"

#include "core/ScriptFile.h"
#include "core/ScriptRunner.h"

#include <QTableWidget>

#include <algorithm>

// An edit is the script before and after it: undo and redo show one or the other.
class ScriptEditor::Edit : public QUndoCommand
{
public:
    Edit(ScriptEditor& editor, const QString& text, Script before, Script after, QList<int> select, bool shown)
        : QUndoCommand(text), editor(editor), before(std::move(before)), after(std::move(after)),
          select(std::move(select)), shown(shown)
    {
    }
    void undo() override { editor.show(before, select); }
    void redo() override
    {
        // A cell edit is on screen already: refilling the table from inside the table's
        // own change signal would delete the item being edited.
        if (shown) {
            shown = false;
            editor.current = after;
            emit editor.changed();
            return;
        }
        editor.show(after, select);
    }

private:
    ScriptEditor& editor;
    const Script before;
    const Script after;
    const QList<int> select;
    bool shown;
};

namespace {

ScriptEditor::Script withComments(QList<QStringList> rows, QStringList comments)
{
    while (comments.size() < rows.size() + 1)
        comments.append(QString());
    return {std::move(rows), std::move(comments)};
}

} // namespace

ScriptEditor::ScriptEditor(QTableWidget& table, QObject* parent)
    : QObject(parent), table(table)
{
    current = withComments({}, {});
    connect(&table, &QTableWidget::itemChanged, this, &ScriptEditor::takeCellEdit);
    // An edit shows its rows before the stack has moved to it: whether the script is
    // saved is known only once the stack says so.
    connect(&undo, &QUndoStack::cleanChanged, this, &ScriptEditor::changed);
}

// The stack clears itself on its way out, when the window is gone already.
ScriptEditor::~ScriptEditor()
{
    undo.disconnect(this);
}

void ScriptEditor::open(const QString& path, const QList<QStringList>& rows, const QStringList& comments)
{
    filePath = path;
    show(withComments(rows, comments), {});
    undo.clear();
}

QList<int> ScriptEditor::selectedRows() const
{
    QList<int> rows;
    for (const QModelIndex& index : table.selectionModel()->selectedRows())
        rows.append(index.row());
    if (rows.isEmpty() && table.currentRow() >= 0)
        rows.append(table.currentRow());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void ScriptEditor::insertRow()
{
    const QList<int> rows = selectedRows();
    const int at = rows.isEmpty() ? current.rows.size() : rows.first();
    Script after = current;
    after.rows.insert(at, QStringList{QString()});
    after.comments.insert(at, QString());
    push(tr("Insert row"), after, {at});
}

void ScriptEditor::deleteRows()
{
    const QList<int> rows = selectedRows();
    if (rows.isEmpty())
        return;
    Script after = current;
    // A deleted row's comments stay, before the row that follows it.
    for (auto row = rows.crbegin(); row != rows.crend(); ++row) {
        const QString comment = after.comments.takeAt(*row);
        after.rows.removeAt(*row);
        QString& next = after.comments[*row];
        if (!comment.isEmpty())
            next = next.isEmpty() ? comment : comment + QLatin1Char('\n') + next;
    }
    push(tr("Delete rows"), after, {std::min(rows.first(), int(after.rows.size()) - 1)});
}

void ScriptEditor::duplicateRows()
{
    const QList<int> rows = selectedRows();
    if (rows.isEmpty())
        return;
    Script after = current;
    const int at = rows.last() + 1;
    QList<int> select;
    for (int i = 0; i < rows.size(); ++i) {
        after.rows.insert(at + i, current.rows[rows[i]]);
        after.comments.insert(at + i, QString());
        select.append(at + i);
    }
    push(tr("Duplicate rows"), after, select);
}

void ScriptEditor::moveRowsUp()
{
    const QList<int> rows = selectedRows();
    if (rows.isEmpty() || rows.first() == 0)
        return;
    Script after = current;
    QList<int> select;
    // Each row moves with its comments.
    for (int row : rows) {
        after.rows.swapItemsAt(row, row - 1);
        after.comments.swapItemsAt(row, row - 1);
        select.append(row - 1);
    }
    push(tr("Move rows up"), after, select);
}

void ScriptEditor::moveRowsDown()
{
    const QList<int> rows = selectedRows();
    if (rows.isEmpty() || rows.last() >= current.rows.size() - 1)
        return;
    Script after = current;
    QList<int> select;
    for (auto row = rows.crbegin(); row != rows.crend(); ++row) {
        after.rows.swapItemsAt(*row, *row + 1);
        after.comments.swapItemsAt(*row, *row + 1);
        select.prepend(*row + 1);
    }
    push(tr("Move rows down"), after, select);
}

void ScriptEditor::insertRows(int at, const QList<QStringList>& rows)
{
    Script after = current;
    QList<int> select;
    at = std::clamp(at, 0, int(after.rows.size()));
    for (const QStringList& row : rows) {
        select.append(at);
        after.rows.insert(at, row);
        // The rows that move down keep their comments.
        after.comments.insert(at, QString());
        ++at;
    }
    push(tr("Record"), after, select);
}

QString ScriptEditor::saveAs(const QString& path)
{
    const QString error = ScriptFile::save(path, current.rows, current.comments);
    if (!error.isEmpty())
        return error;
    filePath = path;
    undo.setClean();
    emit changed();
    return QString();
}

void ScriptEditor::push(const QString& text, const Script& after, const QList<int>& select, bool shown)
{
    if (after == current)
        return;
    undo.push(new Edit(*this, text, current, after, select, shown));
}

void ScriptEditor::show(const Script& script, const QList<int>& select)
{
    showing = true;
    current = script;
    {
        // Filling the table is no edit of the operator's.
        const QSignalBlocker quiet(&table);
        ScriptRunner::fillModel(*table.model(), script.rows);
    }
    table.viewport()->update();
    table.clearSelection();
    for (int row : select) {
        if (row < 0 || row >= table.rowCount())
            continue;
        const QModelIndex index = table.model()->index(row, 0);
        table.selectionModel()->select(index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
        table.scrollTo(index);
    }
    showing = false;
    emit changed();
}

// An edit in a cell: the table already shows it, the undo stack records it.
void ScriptEditor::takeCellEdit(QTableWidgetItem* item)
{
    const int row = item->row();
    if (showing || row < 0 || row >= current.rows.size())
        return;
    const QStringList fields = ScriptRunner::rowFields(*table.model(), row);
    if (fields == current.rows[row])
        return; // a mark or a tooltip changed, not the text
    Script after = current;
    after.rows[row] = fields;
    push(tr("Edit cell"), after, {row}, true);
}
