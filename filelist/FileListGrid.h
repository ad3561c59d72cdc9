// The input file list: the one-column grid grdFiles1 and its count label lblCount1.
// The grid is the storage. Rows count from 0, there is no header row, and the list is
// empty exactly when the grid has one row whose first cell is empty. The conversion run
// reads rows 0 .. Rows() - 1 and writes nothing back.
#pragma once
#include <QColor>
#include <QString>

class QLabel;
class QTableWidget;

namespace bv::filelist {

class Prompts;

class FileListGrid {
public:
    static constexpr int kColumnWidthTwips = 15000;
    static inline const QColor kCellColour{255, 255, 191};
    static inline const QColor kSelectionColour{0, 0, 192};

    // Takes over the look of `grid` (one column, no headers, no editing, colours).
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
    // Appends one path (exactly as given) and refreshes the count label; the current
    // cell ends on the new row.
    void AddFileToList(const QString& path);
    // Back to one empty row and "0 files".
    void ResetFileList();
    // The click of "Clear file(s)...": asks first unless the list is already empty;
    // leaves the current cell at row 0, column 0.
    void ClearCommand(Prompts& prompts);

    QTableWidget* widget() const { return grid_; }

private:
    void FillCells(int fromRow);
    void SetCount(int files);

    QTableWidget* grid_;
    QLabel* countLabel_;
    double pixelsPerTwip_;
    int row_ = 0;
    int col_ = 0;
};

}  // namespace bv::filelist
