#include "filelist/FileListGrid.h"

#include <QHeaderView>
#include <QLabel>
#include <QPalette>
#include <QTableWidget>
#include <QTableWidgetItem>
#include <cmath>

#include "filelist/Prompts.h"

namespace bv::filelist {

FileListGrid::FileListGrid(QTableWidget* grid, QLabel* countLabel, double pixelsPerTwip)
    : grid_(grid), countLabel_(countLabel), pixelsPerTwip_(pixelsPerTwip) {
    grid_->horizontalHeader()->hide();
    grid_->verticalHeader()->hide();
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->setSelectionMode(QAbstractItemView::NoSelection);
    grid_->setSelectionBehavior(QAbstractItemView::SelectItems);
    grid_->setWordWrap(false);
    grid_->setTextElideMode(Qt::ElideNone);
    grid_->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    grid_->verticalHeader()->setDefaultSectionSize(grid_->fontMetrics().height() + 4);

    QPalette pal = grid_->palette();
    pal.setColor(QPalette::Base, Qt::white);  // the area outside the cells
    pal.setColor(QPalette::Highlight, kSelectionColour);
    pal.setColor(QPalette::HighlightedText, Qt::white);
    grid_->setPalette(pal);

    grid_->setColumnCount(1);
    grid_->setRowCount(1);
    FillCells(0);
    grid_->setCurrentCell(0, 0);
    SetCount(0);
}

int FileListGrid::Rows() const { return grid_->rowCount(); }

void FileListGrid::SetRows(int rows) {
    const int before = grid_->rowCount();
    grid_->setRowCount(rows);
    if (rows > before) FillCells(before);
    if (row_ >= rows) row_ = rows - 1;
}

int FileListGrid::Cols() const { return grid_->columnCount(); }

void FileListGrid::SetCols(int cols) {
    grid_->setColumnCount(cols);
    FillCells(0);
    if (col_ >= cols) col_ = cols - 1;
}

void FileListGrid::SetFixedRows(int) {}

int FileListGrid::Row() const { return row_; }

void FileListGrid::SetRow(int row) {
    row_ = row;
    grid_->setCurrentCell(row_, col_);
}

int FileListGrid::Col() const { return col_; }

void FileListGrid::SetCol(int col) {
    col_ = col;
    grid_->setCurrentCell(row_, col_);
}

QString FileListGrid::Text() const {
    const QTableWidgetItem* item = grid_->item(row_, col_);
    return item ? item->text() : QString();
}

void FileListGrid::SetText(const QString& text) {
    QTableWidgetItem* item = grid_->item(row_, col_);
    if (!item) {
        FillCells(0);
        item = grid_->item(row_, col_);
    }
    if (item) item->setText(text);
}

int FileListGrid::ColWidth(int col) const {
    return static_cast<int>(std::lround(grid_->columnWidth(col) / pixelsPerTwip_));
}

void FileListGrid::SetColWidth(int col, int twips) {
    grid_->setColumnWidth(col, static_cast<int>(std::lround(twips * pixelsPerTwip_)));
}

void FileListGrid::Clear() {
    for (int r = 0; r < grid_->rowCount(); ++r)
        for (int c = 0; c < grid_->columnCount(); ++c)
            if (QTableWidgetItem* item = grid_->item(r, c)) item->setText(QString());
}

bool FileListGrid::IsEmpty() const {
    if (Rows() != 1) return false;
    const QTableWidgetItem* item = grid_->item(0, 0);
    return !item || item->text().isEmpty();
}

void FileListGrid::AddFileToList(const QString& path) {
    bool empty = false;
    if (Rows() == 1) {
        SetRow(0);
        SetCol(0);
        empty = Text().isEmpty();
    }
    if (empty) {
        SetRows(1);
        SetCols(1);
        SetFixedRows(0);
        SetColWidth(0, kColumnWidthTwips);
    } else {
        SetRows(Rows() + 1);
    }
    row_ = Rows() - 1;
    col_ = 0;
    grid_->setCurrentCell(row_, col_);
    SetText(path);
    SetCount(Rows());
}

void FileListGrid::ResetFileList() {
    SetRows(1);
    Clear();
    SetCount(0);
}

void FileListGrid::ClearCommand(Prompts& prompts) {
    SetRow(0);
    SetCol(0);
    if (Text().isEmpty()) return;
    if (prompts.ask(QStringLiteral("Do you want to clear all the files in the list\r\n Proceed?"), kProgramTitle))
        ResetFileList();
}

void FileListGrid::FillCells(int fromRow) {
    for (int r = fromRow; r < grid_->rowCount(); ++r) {
        for (int c = 0; c < grid_->columnCount(); ++c) {
            if (grid_->item(r, c)) continue;
            auto* item = new QTableWidgetItem;
            item->setBackground(kCellColour);
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            grid_->setItem(r, c, item);
        }
    }
}

void FileListGrid::SetCount(int files) { countLabel_->setText(QString::number(files) + QStringLiteral(" files")); }

}  // namespace bv::filelist
