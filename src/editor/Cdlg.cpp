#include "editor/Cdlg.h"

#include "base/Failure.h"
#include "platform/qt/Layout.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStorageInfo>
#include <QStringList>
#include <QStyle>
#include <QTreeWidget>

namespace torv {

namespace {

// The mounted volumes that can be used, by their root paths.
QStringList volumeRoots()
{
    QStringList roots;
    for (const QStorageInfo& v : QStorageInfo::mountedVolumes())
        if (v.isValid() && v.isReady() && !roots.contains(v.rootPath()))
            roots << v.rootPath();
    roots.sort();
    return roots;
}

constexpr int kPathRole = Qt::UserRole;

// Every level of the list is always open, so it draws no expand arrows.
class FolderList : public QTreeWidget {
public:
    using QTreeWidget::QTreeWidget;

protected:
    void drawBranches(QPainter*, const QRect&, const QModelIndex&) const override {}
};

} // namespace

Cdlg::Cdlg(ConsoleState& state, const Ports& ports, QWidget* parent)
    : FixedDialog(parent, "Cdlg", "Browse Folder", 2745, 3675), state_(state), ports_(ports)
{
    Drive1_ = new QComboBox(this);
    Drive1_->setObjectName("Drive1");
    place(Drive1_, 180, 120, 2415, 315);
    // The drive list shows the current drive, the one of the working folder.
    const QStringList roots = volumeRoots();
    Drive1_->addItems(roots);
    const QString currentDrive = QStorageInfo(QDir::currentPath()).rootPath();
    int index = Drive1_->findText(currentDrive);
    if (index < 0 && !currentDrive.isEmpty()) {
        Drive1_->addItem(currentDrive);
        index = Drive1_->count() - 1;
    }
    Drive1_->setCurrentIndex(index);
    lastDrive_ = index;

    Dir1_ = new FolderList(this);
    Dir1_->setObjectName("Dir1");
    Dir1_->setHeaderHidden(true);
    Dir1_->setRootIsDecorated(false);
    Dir1_->setItemsExpandable(false);
    Dir1_->setIndentation(px(150));
    Dir1_->setSelectionMode(QAbstractItemView::SingleSelection);
    place(Dir1_, 180, 540, 2355, 2565);

    Command1_ = makeButton(this, "Command1", "&Ok", 1020, 3240, 675, 315);
    Command2_ = makeButton(this, "Command2", "&Cancel", 1860, 3240, 675, 315);

    connect(Drive1_, &QComboBox::currentIndexChanged, this, [this] { Drive1_Change(); });
    connect(Dir1_, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) { Dir1_Activated(item); });
    connect(Command1_, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Command2_, &QPushButton::clicked, this, [this] { Command2_Click(); });
    Form_Load();
}

void Cdlg::Form_Load()
{
    if (!openFolder(QString::fromUtf8(ports_.program.folder().c_str())))
        openFolder(QDir::rootPath());
    if (QWidget* editor = parentWidget())
        move(editor->pos());
    takeOwnersIcon();
    Dir1_->setFocus();
}

bool Cdlg::openFolder(const QString& path)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isDir() || !info.isExecutable() || !QDir(info.absoluteFilePath()).isReadable())
        return false;
    current_ = QDir::cleanPath(info.absoluteFilePath());
    fillList();
    return true;
}

void Cdlg::fillList()
{
    Dir1_->clear();
    QStyle* st = style();
    // The path from the root down to the open folder, one level per row.
    QStringList levels;
    for (QString p = current_;; p = QFileInfo(p).path()) {
        levels.prepend(p);
        if (QDir(p).isRoot() || QFileInfo(p).path() == p)
            break;
    }
    QTreeWidgetItem* parent = nullptr;
    for (const QString& level : levels) {
        const QString name = QDir(level).isRoot() ? QDir::toNativeSeparators(level) : QFileInfo(level).fileName();
        auto* item = parent ? new QTreeWidgetItem(parent, {name}) : new QTreeWidgetItem(Dir1_, {name});
        item->setIcon(0, st->standardIcon(QStyle::SP_DirOpenIcon));
        item->setData(0, kPathRole, level);
        parent = item;
    }
    QTreeWidgetItem* open = parent;
    const QFileInfoList children =
        QDir(current_).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo& child : children) {
        auto* item = new QTreeWidgetItem(open, {child.fileName()});
        item->setIcon(0, st->standardIcon(QStyle::SP_DirClosedIcon));
        item->setData(0, kPathRole, child.absoluteFilePath());
    }
    Dir1_->expandAll();
    Dir1_->setCurrentItem(open);
}

void Cdlg::Dir1_Activated(QTreeWidgetItem* item)
{
    const QString path = item->data(0, kPathRole).toString();
    if (path == current_)
        return;
    if (!openFolder(path)) {
        // Gone or unreadable: the list stays at the open folder, refreshed.
        ports_.dialogs.messageBox(Failure::pathNotFound().text());
        fillList();
    }
}

void Cdlg::Drive1_Change()
{
    if (openFolder(Drive1_->currentText())) {
        lastDrive_ = Drive1_->currentIndex();
        return;
    }
    // A drive that cannot be read leaves the browser where it was.
    ports_.dialogs.messageBox(Failure::deviceUnavailable().text());
    const QSignalBlocker quiet(Drive1_);
    Drive1_->setCurrentIndex(lastDrive_);
}

void Cdlg::Command1_Click()
{
    state_.settings.ExchangeDir = QDir::toNativeSeparators(current_).toUtf8().toStdString();
    accept();
}

void Cdlg::Command2_Click()
{
    reject();
}

} // namespace torv
