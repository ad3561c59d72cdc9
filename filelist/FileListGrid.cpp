#include "filelist/FileListGrid.h"

#include <QCoreApplication>
#include <QDir>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPalette>
#include <QShortcut>
#include <QTableWidget>
#include <QTableWidgetItem>
#include <algorithm>
#include <cmath>
#include <functional>

#include "filelist/Prompts.h"

namespace bv::filelist {

namespace {

// Two texts naming the same path give the same key: separators and "." / ".." steps
// do not matter, nor, where the file system ignores it, letter case.
QString PathKey(const QString& path) {
    QString key = QDir::cleanPath(QDir::fromNativeSeparators(path));
#if defined(_WIN32) || defined(__APPLE__)
    key = key.toCaseFolded();
#endif
    return key;
}

}  // namespace

FileListGrid::FileListGrid(QTableWidget* grid, QLabel* countLabel, double pixelsPerTwip)
    : grid_(grid), countLabel_(countLabel), pixelsPerTwip_(pixelsPerTwip) {
    grid_->horizontalHeader()->hide();
    grid_->verticalHeader()->hide();
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid_->setTabKeyNavigation(false);  // Tab moves on to the next control
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
    MoveCurrentCell();
    SetCount(0);

    auto* remove = new QShortcut(QKeySequence::Delete, grid_);
    remove->setContext(Qt::WidgetShortcut);
    QObject::connect(remove, &QShortcut::activated, grid_, [this] { RemoveSelectedRows(); });
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
    MoveCurrentCell();
}

int FileListGrid::Col() const { return col_; }

void FileListGrid::SetCol(int col) {
    col_ = col;
    MoveCurrentCell();
}

// The current cell moves without selecting: a selection is the user's, for Delete.
void FileListGrid::MoveCurrentCell() {
    grid_->selectionModel()->setCurrentIndex(grid_->model()->index(row_, col_), QItemSelectionModel::NoUpdate);
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

QStringList FileListGrid::Paths() const {
    QStringList paths;
    if (IsEmpty()) return paths;
    for (int r = 0; r < grid_->rowCount(); ++r) {
        const QTableWidgetItem* item = grid_->item(r, 0);
        paths << (item ? item->text() : QString());
    }
    return paths;
}

bool FileListGrid::AddFileToList(const QString& path) { return AddFilesToList({path}).added == 1; }

FileListGrid::Added FileListGrid::AddFilesToList(const QStringList& paths) {
    Added result;
    QSet<QString> listed;
    for (const QString& path : Paths()) listed.insert(PathKey(path));
    QStringList fresh;
    for (const QString& path : paths) {
        if (listed.contains(PathKey(path))) {
            ++result.alreadyListed;
            continue;
        }
        listed.insert(PathKey(path));
        fresh << path;
    }
    if (fresh.isEmpty()) return result;

    int first = Rows();  // the row the first new path goes into
    if (Rows() == 1) {
        SetRow(0);
        SetCol(0);
        if (Text().isEmpty()) {  // an empty list starts afresh
            SetRows(1);
            SetCols(1);
            SetFixedRows(0);
            SetColWidth(0, kColumnWidthTwips);
            first = 0;
        }
    }
    grid_->setUpdatesEnabled(false);
    SetRows(first + int(fresh.size()));
    for (int i = 0; i < fresh.size(); ++i) grid_->item(first + i, 0)->setText(fresh[i]);
    grid_->setUpdatesEnabled(true);
    row_ = Rows() - 1;
    col_ = 0;
    MoveCurrentCell();
    SetCount(Rows());
    result.added = int(fresh.size());
    Changed();
    return result;
}

void FileListGrid::ResetFileList() {
    SetRows(1);
    Clear();
    SetCount(0);
    Changed();
}

void FileListGrid::RemoveSelectedRows() {
    if (IsEmpty()) return;
    QList<int> rows;
    for (const QModelIndex& index : grid_->selectionModel()->selectedRows()) rows << index.row();
    if (rows.isEmpty()) return;
    std::sort(rows.begin(), rows.end(), std::greater<>());
    grid_->clearSelection();
    if (rows.size() >= Rows()) {
        ResetFileList();
        SetRow(0);
        SetCol(0);
        return;
    }
    for (int r : rows) grid_->removeRow(r);
    row_ = std::min(rows.back(), Rows() - 1);
    col_ = 0;
    MoveCurrentCell();
    SetCount(Rows());
    Changed();
}

void FileListGrid::ShowSearching(int found) {
    countLabel_->setText(QCoreApplication::translate("filelist", "Searching the folder: %1 files found (Esc stops)").arg(found));
}

void FileListGrid::ShowCount() { SetCount(IsEmpty() ? 0 : Rows()); }

void FileListGrid::Changed() {
    if (changed_) changed_();
}

void FileListGrid::ClearCommand(Prompts& prompts) {
    SetRow(0);
    SetCol(0);
    if (Text().isEmpty()) return;
    if (prompts.ask(QCoreApplication::translate("filelist", "Do you want to clear all the files in the list\r\n Proceed?"), kProgramTitle))
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

void FileListGrid::SetCount(int files) { countLabel_->setText(QCoreApplication::translate("filelist", "%1 files").arg(files)); }

}  // namespace bv::filelist
