#include "ui/TFormselectbyfilter.h"

#include "core/project/ContentEntry.h"
#include "ui_TFormselectbyfilter.h"

#include <QDir>
#include <QFileSystemModel>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

namespace mzb {
namespace {

// Where the window opens next: the directory chosen last. Kept here rather
// than as the process's working directory, which the rest of the program
// must be able to rely on.
QString& LastDirectory() {
    static QString last = QDir::currentPath();
    return last;
}

} // namespace

TFormselectbyfilter::TFormselectbyfilter(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TFormselectbyfilter>()),
      model_(new QFileSystemModel(this)) {
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(373, 293);
    model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Hidden);
    model_->setRootPath(QDir::rootPath());
    ui->DirectoryListBox1->setModel(model_);
    for (int column = 1; column < model_->columnCount(); ++column) {
        ui->DirectoryListBox1->hideColumn(column);
    }
    ui->ComboBox1->setCurrentIndex(0);
    connect(ui->DirectoryListBox1->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &TFormselectbyfilter::DirectoryChanged);
    connect(model_, &QFileSystemModel::directoryLoaded, this,
            &TFormselectbyfilter::ShowPendingDirectory);
    connect(ui->ButtonOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
    SelectDirectory(LastDirectory());
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
}

TFormselectbyfilter::~TFormselectbyfilter() = default;

std::string TFormselectbyfilter::Directory() const {
    return ui->DirLabel->text().toStdString();
}

std::string TFormselectbyfilter::Pattern() const {
    return ui->ComboBox1->currentText().toStdString();
}

void TFormselectbyfilter::SelectDirectory(const QString& path) {
    pending_ = path;
    ui->DirLabel->setText(path);
    ShowPendingDirectory();
}

// The model lists folders in the background: the tree reaches a deep
// directory only once each folder above it has been listed.
void TFormselectbyfilter::ShowPendingDirectory() {
    if (pending_.isEmpty()) {
        return;
    }
    const QModelIndex index = model_->index(pending_);
    if (!index.isValid()) {
        return;
    }
    for (QModelIndex above = index.parent(); above.isValid(); above = above.parent()) {
        ui->DirectoryListBox1->expand(above);
    }
    ui->DirectoryListBox1->setCurrentIndex(index);
    ui->DirectoryListBox1->scrollTo(index, QAbstractItemView::PositionAtCenter);
    ui->DirectoryListBox1->expand(index);
    if (model_->filePath(index) == pending_) {
        pending_.clear();
    }
}

void TFormselectbyfilter::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Scrolling needs the tree's final size, which it has only once shown.
    QTimer::singleShot(0, this, [this] { SelectDirectory(ui->DirLabel->text()); });
}

void TFormselectbyfilter::DirectoryChanged() {
    if (!pending_.isEmpty()) {
        return;
    }
    const QModelIndex index = ui->DirectoryListBox1->currentIndex();
    if (index.isValid()) {
        ui->DirLabel->setText(model_->filePath(index));
    }
}

std::optional<std::string> TFormselectbyfilter::Ask(QWidget* parent) {
    TFormselectbyfilter window(parent);
    if (window.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    LastDirectory() = QString::fromStdString(window.Directory());
    return WildcardEntry(window.Directory(), window.Pattern());
}

} // namespace mzb
