#include "ui/TFormselectbyfilter.h"

#include "core/project/ContentEntry.h"
#include "ui/AccessibleNames.h"
#include "ui/WindowPlacement.h"
#include "ui_TFormselectbyfilter.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QTimer>
#include <utility>

namespace mzb {
namespace {

constexpr QSize kClientSize(373, 293);

// Where the window opens next: the directory chosen last. Kept here rather
// than as the process's working directory, which the rest of the program
// must be able to rely on.
QString& LastDirectory() {
    static QString last = QDir::currentPath();
    return last;
}

// The folder itself when it is there, else the nearest one above it that
// is: a remembered folder may have been removed or unmounted since.
QString NearestExistingFolder(const QString& path) {
    QString folder = QDir::cleanPath(path);
    while (!QFileInfo(folder).isDir() && folder != QDir::rootPath()) {
        const QString above = QFileInfo(folder).path();
        if (above == folder) {
            break;
        }
        folder = above;
    }
    return QFileInfo(folder).isDir() ? folder : QDir::rootPath();
}

} // namespace

TFormselectbyfilter::TFormselectbyfilter(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TFormselectbyfilter>()),
      model_(new QFileSystemModel(this)) {
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Hidden);
    model_->setRootPath(QDir::rootPath());
    ui->DirectoryListBox1->setModel(model_);
    for (int column = 1; column < model_->columnCount(); ++column) {
        ui->DirectoryListBox1->hideColumn(column);
    }
    ui->ComboBox1->setCurrentIndex(0);
    connect(ui->DirectoryListBox1->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &TFormselectbyfilter::DirectoryChanged);
    // Each folder above the wanted one is listed, then sorted, in the
    // background; every step moves the rows, so the tree is brought back.
    connect(model_, &QFileSystemModel::directoryLoaded, this,
            &TFormselectbyfilter::ShowPendingDirectory);
    connect(model_, &QAbstractItemModel::layoutChanged, this,
            &TFormselectbyfilter::ShowPendingDirectory);
    ui->DirectoryListBox1->installEventFilter(this);
    ui->DirLabel->installEventFilter(this);
    ui->DirectoryListBox1->viewport()->installEventFilter(this);
    connect(ui->ButtonOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
    NameControlsForAssistiveTools(*this);
    SelectDirectory(LastDirectory());
    FixDialogSize(*this, kClientSize);
    CentreOnScreen(*this);
}

TFormselectbyfilter::~TFormselectbyfilter() = default;

std::string TFormselectbyfilter::Directory() const {
    return directory_.toStdString();
}

std::string TFormselectbyfilter::Pattern() const {
    return ui->ComboBox1->currentText().toStdString();
}

void TFormselectbyfilter::SelectDirectory(const QString& path) {
    pending_ = NearestExistingFolder(path);
    ShowDirectory(pending_);
    ShowPendingDirectory();
}

void TFormselectbyfilter::ShowDirectory(const QString& path) {
    directory_ = path;
    ui->DirLabel->setToolTip(path);
    ui->DirLabel->setAccessibleName(path);
    ElideDirectory();
}

void TFormselectbyfilter::ElideDirectory() {
    ui->DirLabel->setText(
        ui->DirLabel->fontMetrics().elidedText(directory_, Qt::ElideMiddle, ui->DirLabel->width()));
}

void TFormselectbyfilter::ShowPendingDirectory() {
    if (pending_.isEmpty()) {
        return;
    }
    const QModelIndex index = model_->index(pending_);
    if (!index.isValid()) {
        return;
    }
    const bool wasMoving = std::exchange(movingTree_, true);
    for (QModelIndex above = index.parent(); above.isValid(); above = above.parent()) {
        ui->DirectoryListBox1->expand(above);
    }
    ui->DirectoryListBox1->setCurrentIndex(index);
    ui->DirectoryListBox1->expand(index);
    ui->DirectoryListBox1->scrollTo(index, QAbstractItemView::PositionAtCenter);
    movingTree_ = wasMoving;
}

void TFormselectbyfilter::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Scrolling needs the tree's final size, which it has only once shown.
    QTimer::singleShot(0, this, &TFormselectbyfilter::ShowPendingDirectory);
}

bool TFormselectbyfilter::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui->DirLabel) {
        if (event->type() == QEvent::Resize) {
            ElideDirectory();
        }
        return QDialog::eventFilter(watched, event);
    }
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::Wheel:
    case QEvent::KeyPress:
        pending_.clear();
        break;
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}

void TFormselectbyfilter::DirectoryChanged() {
    if (movingTree_) {
        return;
    }
    pending_.clear();
    const QModelIndex index = ui->DirectoryListBox1->currentIndex();
    if (index.isValid()) {
        ShowDirectory(model_->filePath(index));
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
