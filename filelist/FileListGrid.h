// The input file list: the grid grdFiles1 and its count label lblCount1. Column 0
// holds the paths, column 1 each file's size, column 2 what the last run made of it.
// The grid is the storage. Rows count from 0, the header is no row, and the list is
// empty exactly when the grid has one row whose first cell is empty. The conversion run
// reads rows 0 .. Rows() - 1 and writes nothing back. A path is listed once: adding
// one already there leaves the list as it is. The user selects rows and removes them
// with Delete.
#pragma once
#include <QColor>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>

class QLabel;
class QTableWidget;

namespace bv::filelist {

class Prompts;

class FileListGrid {
public:
    static constexpr int kColumns = 3;  // path, size, result
    static inline const QColor kCellColour{255, 255, 191};
    static inline const QColor kSelectionColour{0, 0, 192};

    // Takes over the look of `grid` (its columns and header, no editing, colours).
    // `pixelsPerTwip` converts the twips of ColWidth to pixels.
    FileListGrid(QTableWidget* grid, QLabel* countLabel, double pixelsPerTwip);

    // Grid operations, with the semantics of the list's storage.
    int Rows() const;
    void SetRows(int rows);
    int Cols() const;
    void SetCols(int cols);
    void SetFixedRows(int rows);  // the grid has no fixed rows; only 0 is meaningful
    int Row() const;
    void SetRow(int row);
    int Col() const;
    void SetCol(int col);
    QString Text() const;  // of the current cell
    void SetText(const QString& text);
    int ColWidth(int col) const;  // twips
    void SetColWidth(int col, int twips);
    void Clear();  // empties every cell; rows, columns and widths stay

    bool IsEmpty() const;
    // The listed paths, in order; none when the list is empty.
    QStringList Paths() const;
    // Appends one path (exactly as given) unless it is listed already, and refreshes the
    // count label; the current cell ends on the last row. False when it was there.
    bool AddFileToList(const QString& path);
    struct Added {
        int added = 0;
        int alreadyListed = 0;  // given paths that were in the list (or given twice)
    };
    // AddFileToList for many paths at once.
    Added AddFilesToList(const QStringList& paths);
    // Back to one empty row and "0 files".
    void ResetFileList();
    // Removes the rows the user selected; the last one gone leaves the empty list.
    void RemoveSelectedRows();
    // While a folder is searched: the count label tells how many files it has found.
    void ShowSearching(int found);
    // The result column of `row`: what the last run made of its file.
    void SetResult(int row, const QString& text);
    void ClearResults();
    // The count label back to the number of files listed.
    void ShowCount();
    // Called whenever rows are added or removed.
    void SetChangedHandler(std::function<void()> handler) { changed_ = std::move(handler); }
    // The click of "Clear file(s)...": asks first unless the list is already empty;
    // leaves the current cell at row 0, column 0.
    void ClearCommand(Prompts& prompts);

    QTableWidget* widget() const { return grid_; }

private:
    void FillCells(int fromRow);
    void SetCount(int files);
    void MoveCurrentCell();
    void Changed();

    QTableWidget* grid_;
    QLabel* countLabel_;
    double pixelsPerTwip_;
    int row_ = 0;
    int col_ = 0;
    std::function<void()> changed_;
};

}  // namespace bv::filelist
