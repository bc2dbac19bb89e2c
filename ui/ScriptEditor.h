#pragma once

#include <QList>
#include <QObject>
#include <QStringList>
#include <QUndoStack>

class QTableWidget;
class QTableWidgetItem;

// The script table as a document: rows of fields with the comment lines that stood
// before them in the file, edited by row operations and in its cells, each edit undoable,
// saved in the loader's format. The table widget shows the rows; the comments live here.
class ScriptEditor : public QObject
{
    Q_OBJECT

public:
    struct Script
    {
        QList<QStringList> rows;
        QStringList comments; // before each row, and after the last: rows.size() + 1
        bool operator==(const Script& other) const { return rows == other.rows && comments == other.comments; }
    };

    explicit ScriptEditor(QTableWidget& table, QObject* parent = nullptr);
    ~ScriptEditor() override;

    // A loaded file: no undo history, nothing unsaved.
    void open(const QString& path, const QList<QStringList>& rows, const QStringList& comments);
    Script script() const { return current; }
    QString path() const { return filePath; }
    bool isModified() const { return !undo.isClean(); }
    QUndoStack& undoStack() { return undo; }

    void insertRow();
    void deleteRows();
    void duplicateRows();
    void moveRowsUp();
    void moveRowsDown();
    // Inserts rows before row at (at the end when at is the row count); they are selected.
    void insertRows(int at, const QList<QStringList>& rows);

    // Writes the script to path (atomically) and makes it the document's file; returns
    // why it failed, or an empty string.
    QString saveAs(const QString& path);

signals:
    // The rows changed (an edit, an undo, a load), or whether they are saved did: for
    // checks and the title.
    void changed();

private:
    class Edit;

    QList<int> selectedRows() const;
    void push(const QString& text, const Script& after, const QList<int>& select, bool shown = false);
    void show(const Script& script, const QList<int>& select);
    void takeCellEdit(QTableWidgetItem* item);

    QTableWidget& table;
    QUndoStack undo;
    Script current;
    QString filePath;
    bool showing = false;
};
