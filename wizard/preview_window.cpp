#include "wizard/preview_window.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <new>

#include "activitylog/log_lines.h"
#include "datafile/cfile64.h"
#include "output/oracle_client.h"
#include "output/output_files.h"
#include "output/output_root.h"
#include "wizard/qt_text.h"
#include "wizard/wait_box.h"
#include "wizard/wizard.h"
#include "wizard/window_texts.h"

namespace restorix::wizard {

namespace {

constexpr int kSummaryColumnWidth = 483;
constexpr int kPreviewColumnWidth = 100;

QTreeWidgetItem* addNode(QTreeWidgetItem* parent, const std::string& text, const QIcon& icon) {
    auto* node = new QTreeWidgetItem(parent, QStringList{qText(text)});
    node->setIcon(0, icon);
    return node;
}

bool isCategory(const QTreeWidgetItem* node) {
    if (!node || !node->parent() || !node->parent()->parent()) return false;
    const std::string text = utf8(node->text(0));
    return std::find(kCategoryNames.begin(), kCategoryNames.end(), text) != kCategoryNames.end() &&
           !node->parent()->parent()->parent();
}

}  // namespace

PreviewWindow::PreviewWindow(Wizard& wizard) : WizardWindow(wizard.context(), kPreviewPicture), wizard_(wizard) {
    const Recovery& recovery = wizard_.recovery();
    setWindowTitle(qText(kAppTitle));
    auto* layout = new QVBoxLayout(this);
    menus_ = addWizardMenus(this, layout);

    auto* top = new QHBoxLayout;
    QToolButton* savePicture = pictureButton(this, QStyle::SP_DialogSaveButton, "Save");
    QToolButton* about = pictureButton(this, QStyle::SP_MessageBoxInformation, "About");
    QToolButton* exit = pictureButton(this, QStyle::SP_DialogCloseButton, "Exit");
    for (QToolButton* b : {savePicture, about, exit}) top->addWidget(b);
    top->addStretch();
    layout->addLayout(top);

    sourceLabel_ = new QLabel(qText("Source File Path    :" + recovery.database.sourcePath), this);
    layout->addWidget(sourceLabel_);

    auto* panes = new QHBoxLayout;
    tree_ = new QTreeWidget(this);
    tree_->setHeaderHidden(true);
    tree_->setFixedWidth(240);
    list_ = new QTableWidget(this);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setShowGrid(true);
    list_->verticalHeader()->hide();
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    pictureList_ = new QListWidget(this);
    QPixmap message(qText(context_.installFile(kMessagePicture)));
    if (!message.isNull()) {
        QPalette palette = pictureList_->palette();
        palette.setBrush(QPalette::Base, QBrush(message));  // tiled
        pictureList_->setPalette(palette);
    }
    panes->addWidget(tree_);
    panes->addWidget(list_, 1);
    panes->addWidget(pictureList_, 1);
    layout->addLayout(panes, 1);

    save_ = new QPushButton("Save DBF File", this);
    save_->setDefault(true);
    layout->addWidget(save_, 0, Qt::AlignRight);

    connect(save_, &QPushButton::clicked, this, &PreviewWindow::save);
    connect(savePicture, &QToolButton::clicked, this, &PreviewWindow::save);
    connect(menus_.saveDbf, &QAction::triggered, this, &PreviewWindow::save);
    connect(about, &QToolButton::clicked, this, [this] { showAboutBox(context_, this); });
    connect(menus_.about, &QAction::triggered, this, [this] { showAboutBox(context_, this); });
    connect(exit, &QToolButton::clicked, this, &PreviewWindow::askExit);
    connect(menus_.exit, &QAction::triggered, this, &PreviewWindow::askExit);
    connect(menus_.viewLog, &QAction::triggered, this, [this] { viewActivityLog(context_); });
    connect(menus_.clearLog, &QAction::triggered, this, [this] {
        clearActivityLogAsking(context_, this, "Do you want to clear Log File", kAppTitle);
    });
    connect(menus_.contents, &QAction::triggered, this, [this] { openHelp(context_); });
    connect(tree_, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* node, QTreeWidgetItem*) { selectionChanged(node); });
    setContextMenuPolicy(Qt::PreventContextMenu);  // right clicks are ignored

    waitBox_ = std::make_unique<WaitBox>(wizard_.ui(), context_.timings.waitBoxMinimum, this);
    setFixedSize(820, 560);
}

PreviewWindow::~PreviewWindow() {
    if (treeWorker_.joinable()) treeWorker_.join();
}

bool PreviewWindow::previewRunning() const { return waitBox_->jobRunning(); }

void PreviewWindow::buildTree() {
    Recovery& recovery = wizard_.recovery();
    list_->setColumnCount(1);
    list_->setHorizontalHeaderLabels({kSummaryHeader});
    list_->setColumnWidth(0, kSummaryColumnWidth);
    save_->setEnabled(false);
    pictureList_->hide();
    root_ = addNode(nullptr, recovery.database.sourcePath, QIcon(qText(context_.installFile(kTreeNodePicture))));
    tree_->addTopLevelItem(root_);
    root_->setExpanded(true);
    tree_->setEnabled(false);
    menus_.selectSource->setEnabled(false);
    // The catalog is only read from here on; the tree is plain data until the window fills it.
    treeWorker_ = std::thread([this, &recovery] {
        ObjectTree tree = buildObjectTree(recovery.catalog, recovery.database.sourcePath);
        wizard_.ui().post([this, tree = std::move(tree)]() mutable { treeBuilt(std::move(tree)); });
    });
    // After a close of the Analysis window the catalog is partial: the button
    // stays off, the menu item and the picture button still save.
    save_->setEnabled(!recovery.catalog.partial);
    tree_->setCurrentItem(root_);
    tree_->setFocus();
}

void PreviewWindow::treeBuilt(ObjectTree tree) {
    if (treeWorker_.joinable()) treeWorker_.join();
    objectTree_ = std::move(tree);
    const QIcon icon(qText(context_.installFile(kTreeNodePicture)));
    for (const SchemaNode& schema : objectTree_.schemas) {
        QTreeWidgetItem* schemaNode = addNode(root_, schema.name, icon);
        for (std::size_t c = 0; c < kCategoryNames.size(); ++c) {
            QTreeWidgetItem* category = addNode(schemaNode, std::string(kCategoryNames[c]), icon);
            for (const std::string& name : schema.categories[c]) addNode(category, name, icon);
        }
    }
    root_->setExpanded(true);
    showSummary(showDatabaseSummary(objectTree_.totals));
    tree_->setEnabled(true);
    treeReady_ = true;
}

QTreeWidgetItem* PreviewWindow::findNode(const QString& schema, const QString& category, const QString& name) const {
    if (!root_) return nullptr;
    for (int s = 0; s < root_->childCount(); ++s) {
        QTreeWidgetItem* schemaNode = root_->child(s);
        if (schemaNode->text(0) != schema) continue;
        if (category.isEmpty()) return schemaNode;
        for (int c = 0; c < schemaNode->childCount(); ++c) {
            QTreeWidgetItem* categoryNode = schemaNode->child(c);
            if (categoryNode->text(0) != category) continue;
            if (name.isEmpty()) return categoryNode;
            for (int o = 0; o < categoryNode->childCount(); ++o)
                if (categoryNode->child(o)->text(0) == name) return categoryNode->child(o);
        }
    }
    return nullptr;
}

void PreviewWindow::showSummary(const std::vector<std::string>& rows) {
    list_->show();
    pictureList_->hide();
    list_->clear();
    list_->setColumnCount(1);
    list_->setHorizontalHeaderLabels({kSummaryHeader});
    list_->setColumnWidth(0, kSummaryColumnWidth);
    list_->setRowCount(static_cast<int>(rows.size()));
    for (std::size_t r = 0; r < rows.size(); ++r)
        list_->setItem(static_cast<int>(r), 0, new QTableWidgetItem(qText(rows[r])));
}

void PreviewWindow::selectionChanged(QTreeWidgetItem* node) {
    // A selection made while a preview job runs is not handled, not even later.
    if (!node || !treeReady_ || previewRunning() || node == lastHandled_) return;
    lastHandled_ = node;
    list_->clear();
    list_->setRowCount(0);
    list_->setColumnCount(0);
    if (isCategory(node->parent())) {
        showPreview(node);
    } else if (node == root_) {
        showSummary(showDatabaseSummary(objectTree_.totals));
    } else if (node->parent() == root_) {
        const SchemaNode* schema = objectTree_.findSchema(utf8(node->text(0)));
        // Schema nodes are in tree order, so a repeated name finds its own stats by position.
        const int index = root_->indexOfChild(node);
        const SchemaStats stats = index < static_cast<int>(objectTree_.schemas.size())
                                      ? objectTree_.schemas[static_cast<std::size_t>(index)].stats
                                      : (schema ? schema->stats : SchemaStats{});
        showSummary(showSchemaSummary(stats));
    }
}

void PreviewWindow::showPreview(QTreeWidgetItem* node) {
    const std::string name = utf8(node->text(0));
    const std::string category = utf8(node->parent()->text(0));
    const std::string schema = utf8(node->parent()->parent()->text(0));
    if (category == categoryName(Category::View) || category == categoryName(Category::Trigger)) {
        list_->hide();
        pictureList_->show();
        return;
    }
    list_->show();
    pictureList_->hide();
    Recovery& recovery = wizard_.recovery();
    if (choosePreviewJob(recovery.catalog, name, category, schema) == PreviewJob::None) return;
    // A table's rows are read from the datafile, which a closed Analysis window closed.
    if (const std::optional<DatafileRefusal> refusal = wizard_.reopenDatafileRefusal()) {
        context_.services.inform(this, "The datafile cannot be opened again for the preview.\n" + refusal->path + ": " +
                                           refusal->reason,
                                 kProductName, BoxIcon::Stop);
        return;
    }
    recovery.analysisControl.reset();
    waitBox_->run(
        [&recovery, name, category, schema] {
            return previewNode(recovery.database, recovery.catalog, recovery.analysisControl, name, category, schema);
        },
                  [this](PreviewList preview, std::exception_ptr failure) {
                      list_->setFocus();
                      fill(preview);
                      if (failure) tellPreviewFailure(failure);
                  });
}

void PreviewWindow::tellPreviewFailure(std::exception_ptr failure) {
    std::string text;
    try {
        std::rethrow_exception(failure);
    } catch (const FileError& error) {
        text = std::string("Cannot read the datafile: ") + error.what();
    } catch (const std::bad_alloc&) {
        text = "Out Of Memory";
    } catch (const std::exception& error) {
        text = error.what();
    } catch (...) {
        text = "The preview failed for a reason it does not name.";
    }
    context_.services.inform(this, "The preview cannot be shown.\n" + text, kProductName, BoxIcon::Stop);
}

void PreviewWindow::fill(const PreviewList& preview) {
    list_->clear();
    list_->setColumnCount(static_cast<int>(preview.headers.size()));
    QStringList headers;
    for (const std::string& h : preview.headers) headers << qText(h);
    list_->setHorizontalHeaderLabels(headers);
    for (int c = 0; c < list_->columnCount(); ++c) list_->setColumnWidth(c, kPreviewColumnWidth);
    list_->setRowCount(static_cast<int>(preview.rows.size()));
    for (std::size_t r = 0; r < preview.rows.size(); ++r)
        for (std::size_t c = 0; c < preview.rows[r].size(); ++c)
            list_->setItem(static_cast<int>(r), static_cast<int>(c), new QTableWidgetItem(qText(preview.rows[r][c])));
}

void PreviewWindow::save() {
    Recovery& recovery = wizard_.recovery();
    WizardServices& services = context_.services;
    if (!treeReady_) {
        services.inform(this, kGeneratingTree, kProductName, BoxIcon::Information);
        return;
    }
    const std::optional<std::string> home = services.oracleHome();
    if (!home) {
        services.inform(this, kOracleNotInstalled, kProductName, BoxIcon::Stop);
        return;
    }
    const std::optional<std::string> folder = services.chooseFolder(this);
    if (!folder) return;
    if (folder->empty() || !savingPathExists(*folder)) {
        services.inform(this, kSavingPathMissing, kAppTitle, BoxIcon::Information);
        return;
    }
    // The analysis closed the datafile when its window was closed; the save reads it again.
    if (!wizard_.reopenDatafile()) {
        services.inform(this, "The selected file is already being used by another process.", kProductName,
                        BoxIcon::Information);
        return;
    }
    const std::optional<std::filesystem::path> root =
        createOutputRoot(*folder, recovery.database.sourceTitle, context_.clock);
    if (!root) {
        services.inform(this, kCannotOpenTargetFileMessage, kCannotOpenTargetFileCaption, BoxIcon::Stop);
        wizard_.end(1);
        return;
    }
    logSavingStarted(context_.log);
    wizard_.startSaving(SavingSetup{*root, oracleBinFolder(home), std::string(kAppTitle)});
}

void PreviewWindow::askExit() {
    wizard_.endIfConfirmed(this, kExitQuestionPlain);
}

void PreviewWindow::onEscape() {
    wizard_.endIfConfirmed(this, kEscapeQuestion);
}

void PreviewWindow::onClose() { askExit(); }

void PreviewWindow::onHelp() { openHelp(context_); }

}  // namespace restorix::wizard
